# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix-thread variant, whose
# libstdc++ has std::thread and friends). The programs run here under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe each: no libstdc++/libgcc/winpthread DLLs to ship or to find under wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Unicode Win32 API names, and no Windows XP fallbacks.
add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0601)

find_program(PYRELTO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PYRELTO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PYRELTO_WINE})
endif()
