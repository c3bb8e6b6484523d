# The Debian package: in the build folder, cpack -G DEB makes
# zorvi_VERSION_amd64.deb (tools/debian-package.sh builds it from a Release
# build with Debian's hardening flags).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvi)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Zorvi developers <zorvi@example.org>"
    CACHE STRING "The package's Maintainer field")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen region picker for capture programs")
set(CPACK_PACKAGE_DESCRIPTION
    "Zorvi shows one frameless window that stays above all others: a title bar
over a see-through area in an orange-red frame, the region that another
program captures. Drag it, resize it, step through preset sizes.
It publishes the region and two switches in a per-user settings key.
zorvi-settings creates that key, shows, sets and follows its values for
scripts, and records the region, H.264 and Opus in Matroska, while capture
is switched on.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the programs themselves, so a library linked
# tomorrow is a dependency tomorrow.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is loaded at run time, not linked, so no dependency computed from
# the programs names it: in a Wayland session Qt's Wayland platform and the
# layer-shell integration (sway, KWin) for the frame, and the screen-cast
# portal for record. The encoders record links (FFmpeg's libraries, the
# sound server's client library) come with the computed dependencies.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qtwayland5, layer-shell-qt, xdg-desktop-portal")
set(CPACK_STRIP_FILES ON)
# The build's umask must not reach the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# What Debian asks of every package: a copyright file and a changelog.
set(changelog ${CMAKE_BINARY_DIR}/debian/changelog)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${changelog} @ONLY)
add_custom_command(OUTPUT ${changelog}.gz
    COMMAND gzip -9n -c ${changelog} > ${changelog}.gz
    DEPENDS ${changelog})
add_custom_target(zorvi_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
