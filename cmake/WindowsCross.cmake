# What a cross build for Windows takes from the build machine: GoogleTest compiled from the sources
# Debian's googletest package ships, and the header-only JSON library without the build machine's
# whole include folder (which would put glibc's headers in front of mingw's).
if(BUILD_TESTING)
  set(PYRELTO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
  if(NOT EXISTS ${PYRELTO_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${PYRELTO_GTEST_SOURCE} (apt-get install googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # Its own CMake file names the targets GTest::gtest and GTest::gtest_main as well.
  add_subdirectory(${PYRELTO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

set(pyrelto_json_root ${CMAKE_BINARY_DIR}/json-for-cross)
file(MAKE_DIRECTORY ${pyrelto_json_root}/include)
file(CREATE_LINK /usr/include/nlohmann ${pyrelto_json_root}/include/nlohmann SYMBOLIC)
file(WRITE ${pyrelto_json_root}/nlohmann_jsonConfig.cmake
  "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
  "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
  "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
  "    INTERFACE_INCLUDE_DIRECTORIES ${pyrelto_json_root}/include)\n"
  "endif()\n")
file(WRITE ${pyrelto_json_root}/nlohmann_jsonConfigVersion.cmake
  "set(PACKAGE_VERSION 3)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
set(nlohmann_json_DIR ${pyrelto_json_root} CACHE PATH "" FORCE)
