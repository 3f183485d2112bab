# Desktop integration and the Debian packages: `cmake --install` lays the programs out in the
# standard places and `cmake --build build --target package` wraps them in two .deb files.
include(GNUInstallDirs)

# Two packages from one build, both as Debian's checker wants them: `bandhopper` (the window and
# bandhopper-cli) and `bandhopper-server` (the directory service, its manual page and its systemd
# unit). Every file below belongs to one of the two install components.
set(BH_APP_ID org.bandhopper.Bandhopper)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${BH_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT app)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${BH_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT app)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/bandhopper.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${BH_APP_ID}.svg
        COMPONENT app)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/bandhopper-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${BH_APP_ID}.png COMPONENT app)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/bandhopper-server.service
        DESTINATION lib/systemd/system COMPONENT server)

# Manual pages and the Debian changelog go out compressed the way Debian compresses them: gzip's
# best, without the name and time stamp, so that the same sources make the same bytes.
find_program(BH_GZIP gzip REQUIRED)
set(BH_DEBIAN_RELEASE 1)
set(BH_PACKAGE_VERSION ${PROJECT_VERSION}-${BH_DEBIAN_RELEASE})
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog BH_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT BH_CHANGELOG_TOP MATCHES "^bandhopper \\(${BH_PACKAGE_VERSION}\\) ")
    message(WARNING "packaging/changelog does not start with version ${BH_PACKAGE_VERSION}: "
                    "add an entry for it")
endif()
set(BH_COMPRESSED)
function(bh_compress source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${BH_GZIP} -9nc ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    set(BH_COMPRESSED ${BH_COMPRESSED} ${output} PARENT_SCOPE)
endfunction()
set(BH_GZ_DIR ${CMAKE_CURRENT_BINARY_DIR}/compressed)
file(MAKE_DIRECTORY ${BH_GZ_DIR})
foreach(page bandhopper bandhopper-cli bandhopper-server)
    bh_compress(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${BH_GZ_DIR}/${page}.1.gz)
endforeach()
bh_compress(${PROJECT_SOURCE_DIR}/packaging/changelog ${BH_GZ_DIR}/changelog.Debian.gz)
add_custom_target(bandhopper_compressed ALL DEPENDS ${BH_COMPRESSED})

install(FILES ${BH_GZ_DIR}/bandhopper.1.gz ${BH_GZ_DIR}/bandhopper-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT app)
install(FILES ${BH_GZ_DIR}/bandhopper-server.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT server)
foreach(pair app:bandhopper server:bandhopper-server)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${BH_GZ_DIR}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package}
            COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bandhopper)
set(CPACK_PACKAGE_VENDOR "The Bandhopper developers")
set(CPACK_PACKAGE_CONTACT "The Bandhopper developers <bandhopper@bandhopper.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL app server)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${BH_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE bandhopper)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_APP_PACKAGE_NAME bandhopper)
set(CPACK_DEBIAN_APP_DESCRIPTION [[
tunes a transceiver to POTA and SOTA spots, nets and stations
Bandhopper shows live activity lists for radio amateurs: POTA and SOTA
spots, active nets, a nets directory and medium-wave stations. One press
sets the attached Icom or Yaesu transceiver, or any radio Hamlib's rigctld
serves, to a row's frequency and mode, and the name is spoken.

bandhopper-cli runs the same Tune, list loads and confirmations from a
terminal.]])
# Loaded at run time as plugins, so the library scan cannot find them: the window's platform,
# the voice and the cue sounds' decoder.
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-speech-flite-plugin, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "libhamlib-utils")
set(CPACK_DEBIAN_APP_PACKAGE_SUGGESTS "bandhopper-server")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME bandhopper-server)
set(CPACK_DEBIAN_SERVER_DESCRIPTION [[
directory service for Bandhopper's nets and stations
bandhopper-server answers the Bandhopper application's requests for the
nets directory and the medium-wave stations, counts net confirmations and
publishes releases. It keeps its directory in SQLite or PostgreSQL and
starts with real content.

The package runs it as a systemd service on the loopback address, as its
own system user, with the directory in /var/lib/bandhopper-server.]])
# The databases are Qt plugins too; the maintainer scripts create the service's user.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "libqt6sql6-sqlite, adduser")
set(CPACK_DEBIAN_SERVER_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/server/postinst
    ${PROJECT_SOURCE_DIR}/packaging/server/prerm
    ${PROJECT_SOURCE_DIR}/packaging/server/postrm)
include(CPack)

# The desktop entry and the metainfo pass the desktop's own validators (where they are installed).
find_program(BH_DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(BH_APPSTREAMCLI appstreamcli)
if(BANDHOPPER_BUILD_TESTS AND BH_DESKTOP_FILE_VALIDATE AND BH_APPSTREAMCLI)
    add_test(NAME Packaging.DesktopEntryAndMetainfoValidate
             COMMAND sh -c "${BH_DESKTOP_FILE_VALIDATE} --warn-kde \"$0\" && ${BH_APPSTREAMCLI} validate --no-net \"$1\""
                     ${PROJECT_SOURCE_DIR}/packaging/${BH_APP_ID}.desktop
                     ${PROJECT_SOURCE_DIR}/packaging/${BH_APP_ID}.metainfo.xml)
endif()

# Both packages pass Debian's own checker without an error or a warning (where it is installed:
# it is a large download that the test run does not need otherwise).
find_program(BH_LINTIAN lintian)
find_program(BH_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BANDHOPPER_BUILD_TESTS AND BH_LINTIAN AND BH_DPKG_SHLIBDEPS)
    set(BH_LINTIAN_DIR ${CMAKE_BINARY_DIR}/lintian-packages)
    add_test(NAME Packaging.LintianFindsNothing
             COMMAND sh -c "rm -rf \"$1\" && \"$0\" --config CPackConfig.cmake -B \"$1\" >/dev/null && \"$2\" --fail-on error,warning \"$1\"/*.deb"
                     ${CMAKE_CPACK_COMMAND} ${BH_LINTIAN_DIR} ${BH_LINTIAN}
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(Packaging.LintianFindsNothing PROPERTIES TIMEOUT 600)
endif()
