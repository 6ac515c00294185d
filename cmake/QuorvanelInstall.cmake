# What `cmake --install` puts under the prefix: the programs, the man pages,
# the desktop entry and the dashboard's pages. debian/ splits it into packages and adds the unit, the system user
# and the state directory.

include(GNUInstallDirs)

set(QRV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

set(qrv_programs quorvanel quorvanel-station quorvanel-report quorvanel-onewire
                 quorvanel-nodex-sim quorvanel-sms-file quorvanel-sms-gammu)
foreach(program IN LISTS qrv_programs)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

foreach(page IN ITEMS quorvanel.1 quorvanel-report.1 quorvanel-onewire.1 quorvanel-nodex-sim.1
                      quorvanel-sms-file.1 quorvanel-sms-gammu.1 quorvanel-station.8
                      quorvanel.toml.5)
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
    install(FILES ${PROJECT_SOURCE_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

if(TARGET quorvanel)
    install(FILES ${QRV_PACKAGING_DIR}/io.github.quorvanel.quorvanel.desktop
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
    install(FILES ${QRV_PACKAGING_DIR}/quorvanel.svg
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
    install(FILES ${QRV_PACKAGING_DIR}/io.github.quorvanel.quorvanel.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
    # What the window's F1 key shows; it looks for it beside the program.
    install(FILES ${PROJECT_SOURCE_DIR}/README.md
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvanel)
endif()

# The dashboard's pages; Chart.js comes from Debian's own package.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/web/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/quorvanel/web)
