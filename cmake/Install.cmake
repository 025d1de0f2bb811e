# Where `cmake --install` puts the programs and what the desktop needs to offer them: the menu
# entry, the icon, the file types, the software-centre description and the manual pages.
include(GNUInstallDirs)

set(PYRELTO_APP_ID de.torvane.PyreltoKalkulation)
set(PYRELTO_DATA_DIR ${PROJECT_SOURCE_DIR}/data)

# Set by scripts/package.sh: the Debian package carries the licence in its copyright file, and
# Debian's changelog beside it, instead of a LICENSE file in the documentation folder.
option(PYRELTO_DEBIAN_DOCS "Install the Debian copyright and changelog instead of LICENSE" OFF)

foreach(program pyrelto pyrelto-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The rest is for freedesktop.org desktops; a Windows build installs only the programs.
if(WIN32)
  return()
endif()

if(TARGET pyrelto)
  install(FILES ${PYRELTO_DATA_DIR}/${PYRELTO_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${PYRELTO_DATA_DIR}/${PYRELTO_APP_ID}.metainfo.xml.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${PYRELTO_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${PYRELTO_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(DIRECTORY ${PYRELTO_DATA_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${PYRELTO_DATA_DIR}/icons/src/${PYRELTO_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PYRELTO_DATA_DIR}/icons/src/application-x-pyrelto-kalkulation.svg
                ${PYRELTO_DATA_DIR}/icons/src/application-x-pyrelto-material.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
  # The file types are the program's; the command-line driver alone does not need them.
  install(FILES ${PYRELTO_DATA_DIR}/${PYRELTO_APP_ID}.mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${PYRELTO_APP_ID}.xml)
endif()

# Manual pages go in compressed, as every distribution ships them; -n keeps the archive free of
# the build's time stamp, so two builds give the same bytes.
set(pyrelto_pages)
foreach(program pyrelto pyrelto-cli)
  if(TARGET ${program})
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(
      OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND gzip -9n -c ${PYRELTO_DATA_DIR}/man/${program}.1 > ${page}
      DEPENDS ${PYRELTO_DATA_DIR}/man/${program}.1
      VERBATIM)
    list(APPEND pyrelto_pages ${page})
  endif()
endforeach()
add_custom_target(pyrelto_man_pages ALL DEPENDS ${pyrelto_pages})
install(FILES ${pyrelto_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(PYRELTO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/pyrelto)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${PYRELTO_DOC_DIR})
if(PYRELTO_DEBIAN_DOCS)
  set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
  add_custom_command(
    OUTPUT ${changelog}
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian
    VERBATIM)
  add_custom_target(pyrelto_debian_changelog ALL DEPENDS ${changelog})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}
          DESTINATION ${PYRELTO_DOC_DIR})
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${PYRELTO_DOC_DIR})
endif()

# The check is about the desktop's view, so it needs the desktop program.
if(BUILD_TESTING AND TARGET pyrelto)
  add_test(NAME install_layout COMMAND ${PROJECT_SOURCE_DIR}/scripts/install_test.sh
                                       ${PROJECT_BINARY_DIR})
endif()
