# The Debian package: `cpack -G DEB` in the build folder writes torvana_<version>_<arch>.deb from
# the install above, installed under /usr. Its dependencies are computed from the programs'
# shared libraries by dpkg-shlibdeps.

set(CPACK_PACKAGE_NAME torvana)
set(CPACK_PACKAGE_VENDOR "The Torvana developers")
set(CPACK_PACKAGE_CONTACT "The Torvana developers <info@torvana.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of CD-ROM start-up menus")
set(CPACK_PACKAGE_DESCRIPTION
  "Torvana designs the menu that opens by itself when a CD-ROM is inserted: a
window title, a 640 x 480 background picture, an opening sound, up to 99
hotspots with rollover pictures and sounds, and Browse and Exit buttons.
Saving a project gathers everything that goes on the disc into one staging
folder, ready to be burned; Test Run shows the menu as it will appear.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# Signs the Windows player on a disc when the user asks for it (Settings > Sign the Windows player).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS osslsigncode)
# Dependencies from the programs' own libraries only, not from the Linux player's folder (see
# package_depends.cmake.in), so CPack's own scan of every file is off.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(torvana_shlibdeps_programs)
foreach(program ${torvana_programs})
  if(TARGET ${program})
    list(APPEND torvana_shlibdeps_programs $<TARGET_FILE:${program}>)
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/package_depends.cmake.in ${CMAKE_BINARY_DIR}/package_depends.cmake.gen @ONLY)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/package_depends.cmake INPUT ${CMAKE_BINARY_DIR}/package_depends.cmake.gen)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package_depends.cmake)

include(CPack)
