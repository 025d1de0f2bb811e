# The Windows programs' icon (data/windows/pyrelto.ico, made from the hicolor PNGs by
# data/icons/render.sh), version information and manifest (long paths, UTF-8 code page), compiled
# into each .exe by the resource compiler. Nothing happens on other systems.
if(WIN32)
  enable_language(RC)
endif()

function(pyrelto_windows_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(PYRELTO_RC_NAME ${target})
  set(PYRELTO_RC_DESCRIPTION "${description}")
  set(version_parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
  foreach(part PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      list(APPEND version_parts 0)
    else()
      list(APPEND version_parts ${PROJECT_VERSION_${part}})
    endif()
  endforeach()
  list(JOIN version_parts "." PYRELTO_RC_VERSION_DOTS)
  list(JOIN version_parts "," PYRELTO_RC_VERSION_COMMAS)
  set(PYRELTO_RC_ICON ${PROJECT_SOURCE_DIR}/data/windows/pyrelto.ico)
  set(PYRELTO_RC_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/data/windows/pyrelto.manifest.in ${PYRELTO_RC_MANIFEST}
                 @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/data/windows/program.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  # The resource compiler does not see the icon and manifest as inputs of its own.
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${PYRELTO_RC_ICON};${PYRELTO_RC_MANIFEST}")
endfunction()
