# What `cpack -G DEB` (scripts/package.sh) puts into quorvanel_VERSION_ARCH.deb.
# The dependencies are computed from the binaries (dpkg-shlibdeps).

include(GNUInstallDirs)

set(QRV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

set(qrv_programs quorvanel quorvanel-station quorvanel-report quorvanel-onewire
                 quorvanel-nodex-sim quorvanel-sms-file quorvanel-sms-gammu)
foreach(program IN LISTS qrv_programs)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/quorvanel")
    endif()
endforeach()

# The OpenSSL names civetweb loads (src/web/openssl_names) go in a private
# folder that the programs look in first.
install(TARGETS civetweb_openssl_ssl civetweb_openssl_crypto LIBRARY DESTINATION lib/quorvanel)

# Man pages go in compressed, as Debian wants them.
set(qrv_man_pages quorvanel.1 quorvanel-report.1 quorvanel-onewire.1 quorvanel-nodex-sim.1
                  quorvanel-sms-file.1 quorvanel-sms-gammu.1 quorvanel-station.8 quorvanel.toml.5)
foreach(page IN LISTS qrv_man_pages)
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/man/${page} > ${compressed}
        DEPENDS ${PROJECT_SOURCE_DIR}/man/${page} VERBATIM)
    list(APPEND qrv_compressed_pages ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
set(qrv_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${qrv_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${QRV_PACKAGING_DIR}/changelog > ${qrv_changelog}
    DEPENDS ${QRV_PACKAGING_DIR}/changelog VERBATIM)
add_custom_target(qrv_package_files ALL DEPENDS ${qrv_compressed_pages} ${qrv_changelog})

# The unit is installed, not enabled: the port must be set first.
install(FILES ${QRV_PACKAGING_DIR}/quorvanel.service DESTINATION /lib/systemd/system)
install(FILES ${QRV_PACKAGING_DIR}/quorvanel.sysusers DESTINATION /usr/lib/sysusers.d
        RENAME quorvanel.conf)
install(FILES ${QRV_PACKAGING_DIR}/quorvanel.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${QRV_PACKAGING_DIR}/quorvanel.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES ${QRV_PACKAGING_DIR}/io.github.quorvanel.Quorvanel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${QRV_PACKAGING_DIR}/copyright ${qrv_changelog}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvanel)
install(FILES ${QRV_PACKAGING_DIR}/60-quorvanel.rules
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvanel/examples)

# The dashboard's pages; Chart.js comes from Debian's own package.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/web/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/quorvanel/web)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Quorvanel developers <quorvanel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitoring station for networks of 1-Wire probes")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvanel watches temperature, humidity and door probes on up to three\n"
    "1-Wire cable lines behind the Nodex interface unit on a serial port,\n"
    "raises alarms, switches a relay and lamps, hands alarm texts to an SMS\n"
    "program and stores every probe's value in one file per day. It runs as\n"
    "a desktop window or, without a display, as the systemd service\n"
    "quorvanel.service.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found by dpkg-shlibdeps: the pages load Debian's Chart.js.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libjs-chart.js")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${QRV_PACKAGING_DIR}/postinst ${QRV_PACKAGING_DIR}/prerm ${QRV_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
