# The installed tree, all in this one file.
#
# The editor finds what it copies onto a disc and its help page in its own folder, as in the
# build tree's bin/. The install keeps that: the editor and everything beside it go into one
# private folder (lib/torvana), and bin/torvana is a symbolic link to the editor there. The
# editor asks the system for its own executable, which resolves the link, so its folder is the
# private folder wherever the tree is installed.
#
# A new program joins the install by adding its target's name to torvana_programs; a new file
# that the build puts beside the editor, by adding its name to torvana_beside_editor.

set(TORVANA_INSTALL_PROGRAMDIR "lib/torvana" CACHE STRING
  "Folder, under the prefix, of the editor and of everything it finds beside itself")

# Programs built here that run on this machine, by target name.
set(torvana_programs torvana torvana-player)
# Files the build writes beside the editor: the player copied onto every disc, the help page.
set(torvana_beside_editor autorun.exe torvana_help.htm)

foreach(program ${torvana_programs})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${TORVANA_INSTALL_PROGRAMDIR})
  endif()
endforeach()
foreach(file ${torvana_beside_editor})
  if(TARGET ${file})
    get_target_property(kind ${file} TYPE)
  else()
    set(kind FILE)
  endif()
  if(kind STREQUAL "EXECUTABLE")
    # Built here for this machine: installed as a program, so the package strips it.
    install(TARGETS ${file} RUNTIME DESTINATION ${TORVANA_INSTALL_PROGRAMDIR})
  elseif(file MATCHES "\\.exe$")
    install(PROGRAMS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${file} DESTINATION ${TORVANA_INSTALL_PROGRAMDIR})
  else()
    install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${file} DESTINATION ${TORVANA_INSTALL_PROGRAMDIR})
  endif()
endforeach()

# The Linux player with its own SDL, which the editor copies onto every disc, as the build made it
# (the package does not strip it again: its libraries are Debian's, already stripped).
if(TARGET torvana_linux_bundle)
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/linux-x86_64 DESTINATION ${TORVANA_INSTALL_PROGRAMDIR}
    USE_SOURCE_PERMISSIONS)
  # Its libraries are copies of Debian's, which lintian would take for embedded ones.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME torvana)
endif()

# bin/torvana, a relative link, so the tree can be moved or unpacked anywhere.
file(RELATIVE_PATH editor_from_bindir /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${TORVANA_INSTALL_PROGRAMDIR}/torvana)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
file(CREATE_LINK ${editor_from_bindir} ${CMAKE_BINARY_DIR}/install-links/torvana SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-links/torvana DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop: application entry, AppStream description, the project file's type, the icons.
set(desktop_dir ${PROJECT_SOURCE_DIR}/resources/desktop)
install(FILES ${desktop_dir}/${TORVANA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/${TORVANA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desktop_dir}/${TORVANA_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${TORVANA_ICON_DIR} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Copyright and change log, where Debian looks for them.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/torvana)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9nc '${PROJECT_SOURCE_DIR}/packaging/changelog' > '${CMAKE_BINARY_DIR}/packaging/changelog.gz'"
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(torvana_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/torvana)

# The manual page, compressed as Debian keeps them.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/torvana.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9nc '${PROJECT_SOURCE_DIR}/packaging/torvana.1' > '${CMAKE_BINARY_DIR}/packaging/torvana.1.gz'"
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/torvana.1
  VERBATIM)
add_custom_target(torvana_manual ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/torvana.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/torvana.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
