# SPDX-License-Identifier: GPL-3.0-or-later
# `cmake --install` and `cmake --build build --target package`: the three programs, the menu entries of
# the two windowed ones with their icons, and the Debian package of all of it. The demo's seed files
# travel inside kvtool (a Qt resource of kvdemo), so there is nothing of them to install.
include(GNUInstallDirs)
# `install` and `package` install what is built, without building the whole tree (tests and benchmarks)
# first: the Makefile's install and package targets build before, and the suite's install test runs
# beside the other tests without relinking them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS kelvora kvimport kvtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/desktop/kelvora.desktop data/desktop/kvimport.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icons are drawn as SVG; the PNG sizes that menus and task bars of older desktops ask for are
# rendered from them at build time.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(KV_ICON_SIZES 16 24 32 48 64 128 256)
set(KV_ICON_FILES)
foreach(icon kelvora kvimport)
    set(svg ${CMAKE_SOURCE_DIR}/data/icons/${icon}.svg)
    install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size ${KV_ICON_SIZES})
        set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/${icon}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${svg}
            DEPENDS ${svg} VERBATIM)
        list(APPEND KV_ICON_FILES ${png})
    endforeach()
endforeach()
add_custom_target(icons ALL DEPENDS ${KV_ICON_FILES})
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvora)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvora RENAME copyright)

# The Debian package: the libraries the programs link come from dpkg-shlibdeps; the Qt plugins they
# load at run time (the SQLite driver for the local databases; PostgreSQL, TIFF images and ODBC when
# used) are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Geochronology database viewer, importer and command-line tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvora queries, plots and reports the date records of a geochronology database (SQLite or PostgreSQL); its importer appends template workbooks, kvtool does the same work from the command line.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kelvora)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(KV_PACKAGE_MAINTAINER "Kelvora maintainers <maintainers@kelvora.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, qt6-image-formats-plugins, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-odbc, postgresql")
include(CPack)
