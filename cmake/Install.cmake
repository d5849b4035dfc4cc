# What `cmake --install` places, and the Debian package `cpack` builds from it.
include(GNUInstallDirs)

set(CAMUPGRADE_HOMEPAGE "https://camupgrade.example" CACHE STRING
    "The project's home page; the metainfo's screenshots are under its docs/")
set(CAMUPGRADE_MAINTAINER "camupgrade maintainers <maintainers@camupgrade.example>" CACHE STRING
    "Maintainer of the Debian package")
set(METAINFO_ID org.camupgrade.camupgrade)
set(packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(staged ${CMAKE_CURRENT_BINARY_DIR}/packaging)

install(TARGETS camupgrade camupgrade-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The menu's way in: it gives the tool a working directory of its own, found relative to itself so the
# tree works wherever it is unpacked.
set(launcher_dir ${CMAKE_INSTALL_LIBEXECDIR}/camupgrade)
file(RELATIVE_PATH LAUNCHER_TO_BIN /${launcher_dir} /${CMAKE_INSTALL_BINDIR})
configure_file(${packaging}/camupgrade-launcher.in ${staged}/camupgrade-launcher @ONLY)
install(PROGRAMS ${staged}/camupgrade-launcher DESTINATION ${launcher_dir})

# A desktop entry needs the launcher's absolute path, known only once the prefix is: cpack installs under
# /usr whatever the build was configured with.
install(CODE "
    set(LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${launcher_dir}/camupgrade-launcher\")
    configure_file(\"${packaging}/camupgrade.desktop.in\" \"${staged}/install/camupgrade.desktop\" @ONLY)
    file(INSTALL \"${staged}/install/camupgrade.desktop\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
")

configure_file(${packaging}/camupgrade.metainfo.xml.in ${staged}/${METAINFO_ID}.metainfo.xml @ONLY)
install(FILES ${staged}/${METAINFO_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${packaging}/camupgrade.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    add_custom_command(OUTPUT ${staged}/camupgrade.png
        COMMAND ${RSVG_CONVERT} -w 256 -h 256 -o ${staged}/camupgrade.png ${packaging}/camupgrade.svg
        DEPENDS ${packaging}/camupgrade.svg VERBATIM)
    add_custom_target(camupgrade_icon ALL DEPENDS ${staged}/camupgrade.png)
    install(FILES ${staged}/camupgrade.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
else()
    message(WARNING "rsvg-convert (Debian: librsvg2-bin) not found: the 256 px icon is left out")
endif()

# Debian wants manual pages and changelogs compressed, without time stamps that would change every build.
set(compressed)
foreach(page camupgrade.1 camupgrade-cli.1)
    configure_file(${packaging}/man/${page}.in ${staged}/${page} @ONLY)
    list(APPEND compressed ${staged}/${page})
endforeach()
configure_file(${packaging}/debian/changelog.in ${staged}/changelog @ONLY)
list(APPEND compressed ${staged}/changelog)
list(TRANSFORM compressed APPEND .gz OUTPUT_VARIABLE gzipped)
foreach(file ${compressed})
    add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9 -n -f -k ${file} DEPENDS ${file} VERBATIM)
endforeach()
add_custom_target(camupgrade_docs ALL DEPENDS ${gzipped})
install(FILES ${staged}/camupgrade.1.gz ${staged}/camupgrade-cli.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${staged}/changelog.gz ${packaging}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${packaging}/bash-completion/camupgrade-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME camupgrade)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maintenance tool for IP network cameras on a LAN")
# Read here: CPack would escape an apostrophe of CPACK_PACKAGE_DESCRIPTION_FILE as XML.
file(READ ${packaging}/debian/description CPACK_DEBIAN_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGE_HOMEPAGE_URL ${CAMUPGRADE_HOMEPAGE})
set(CPACK_PACKAGE_CONTACT ${CAMUPGRADE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Chinese text needs a CJK font; the toolkit's own buttons take their Chinese from Qt's catalogues; the form's
# fixed-width font is substituted by Inconsolata.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei, qttranslations5-l10n, fonts-inconsolata")
include(CPack)
