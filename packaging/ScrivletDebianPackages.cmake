# The .deb packages, built by `cpack -G DEB` (packaging/build-debs): "scrivlet" with both programs
# and everything above, and "scrivlet-nautilus" with the Nautilus module when it is built.
# Library dependencies are computed by dpkg-shlibdeps (dpkg-dev).
set(CPACK_PACKAGE_NAME scrivlet)
set(CPACK_PACKAGE_VENDOR "The Scrivlet developers")
set(CPACK_PACKAGE_CONTACT "${SCRIVLET_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first packaging of this upstream version; packaging/debian/changelog names the same
# "<version>-<release>", which build-debs checks.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_HOMEPAGE_URL "${SCRIVLET_HOMEPAGE_URL}")
# The packaged files carry the installation paths the build was configured with (the hooks and
# the D-Bus service name the programs by their absolute paths), so the package installs there.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The Nautilus module's folder is absolute (from pkg-config); DESTDIR keeps it inside the package.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_SCRIVLET_PACKAGE_NAME scrivlet)
set(CPACK_DEBIAN_SCRIVLET_PACKAGE_SECTION editors)
# update-mime-database registers the file types the settings add; Wayland needs Qt's plugin.
set(CPACK_DEBIAN_SCRIVLET_PACKAGE_RECOMMENDS "shared-mime-info, qt6-wayland")
set(CPACK_DEBIAN_SCRIVLET_PACKAGE_SUGGESTS "nemo | dolphin | thunar")
set(CPACK_COMPONENT_SCRIVLET_DISPLAY_NAME "Scrivlet")
# Extended descriptions are wrapped below 80 columns, as apt shows them.
set(CPACK_COMPONENT_SCRIVLET_DESCRIPTION "small, fast plain-text editor
Scrivlet edits plain text and nothing else. It opens files of hundreds of
megabytes without freezing, saves atomically as UTF-8 and keeps the text of
unsaved windows as drafts. It reads UTF-8, ISO Latin 1, Windows-1252 and
Mac OS Roman. A companion program,
scrivlet-finder-sync, offers “New Text Document” on a folder's background in
Nemo and Dolphin (and Thunar).")

set(CPACK_COMPONENTS_ALL scrivlet)
if(TARGET scrivlet-nautilus)
    list(APPEND CPACK_COMPONENTS_ALL nautilus)
    set(CPACK_DEBIAN_NAUTILUS_PACKAGE_NAME scrivlet-nautilus)
    set(CPACK_DEBIAN_NAUTILUS_PACKAGE_SECTION gnome)
    set(CPACK_DEBIAN_NAUTILUS_PACKAGE_ENHANCES nautilus)
    set(CPACK_COMPONENT_NAUTILUS_DEPENDS scrivlet)
    set(CPACK_COMPONENT_NAUTILUS_DESCRIPTION "“New Text Document” in Nautilus for Scrivlet
A Nautilus extension that adds “New Text Document” to a folder's background
menu. It runs scrivlet-finder-sync, which creates an empty Untitled.txt and
opens it in Scrivlet.")
endif()

include(CPack)
