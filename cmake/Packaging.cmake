# Desktop integration and the Debian package: `cmake --install` lays the programs out in the
# standard places and `cmake --build build --target package` wraps them in a .deb.
include(GNUInstallDirs)

set(BH_APP_ID org.bandhopper.Bandhopper)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${BH_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${BH_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/bandhopper.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${BH_APP_ID}.svg)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/bandhopper-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${BH_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/bandhopper.1 ${PROJECT_SOURCE_DIR}/docs/man/bandhopper-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bandhopper)
set(CPACK_PACKAGE_VENDOR "The Bandhopper developers")
set(CPACK_PACKAGE_CONTACT "The Bandhopper developers <bandhopper@bandhopper.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tunes a transceiver to POTA and SOTA spots, nets and stations")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Bandhopper shows live activity lists for radio amateurs (POTA and SOTA spots, active nets,\n"
    "a nets directory, medium-wave stations) and sets the attached transceiver to a row's\n"
    "frequency and mode with one press, speaking what it tuned.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time as plugins, so the library scan cannot find them: the window's platform,
# the voice, the cue sounds' decoder and the directory server's databases.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-speech-flite-plugin, gstreamer1.0-plugins-good, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libhamlib-utils, libqt6sql6-psql")
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
