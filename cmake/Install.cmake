# cmake --install: the program, its desktop entry, icon, metainfo, help page and man page.
# cpack -G DEB: the same as a Debian package whose dependencies dpkg-shlibdeps finds.
include(GNUInstallDirs)
set(FERRYSTAR_APP_ID com.quillmoor.Ferrystar)
set(FERRYSTAR_INSTALL_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/resources/install)

install(TARGETS ferrystar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${FERRYSTAR_INSTALL_SOURCES}/${FERRYSTAR_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${FERRYSTAR_INSTALL_SOURCES}/${FERRYSTAR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${FERRYSTAR_INSTALL_SOURCES}/ferrystar.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${FERRYSTAR_INSTALL_SOURCES}/icons/ferrystar-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ferrystar.png)
endforeach()
# The program looks for it beside itself first, then in ../share/ferrystar.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/docs/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/ferrystar)
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/docs/shots DESTINATION ${CMAKE_INSTALL_DATADIR}/ferrystar
        FILES_MATCHING PATTERN "*.png")

# Debian wants man pages compressed with the best level and no time stamp.
set(FERRYSTAR_MAN_GZ ${CMAKE_BINARY_DIR}/ferrystar.1.gz)
add_custom_command(OUTPUT ${FERRYSTAR_MAN_GZ}
                   COMMAND gzip -9n -c ${FERRYSTAR_INSTALL_SOURCES}/ferrystar.1 > ${FERRYSTAR_MAN_GZ}
                   DEPENDS ${FERRYSTAR_INSTALL_SOURCES}/ferrystar.1 VERBATIM)
add_custom_target(ferrystar_man ALL DEPENDS ${FERRYSTAR_MAN_GZ})
install(FILES ${FERRYSTAR_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian's copyright and changelog files, which lintian expects in every package.
set(FERRYSTAR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/ferrystar)
install(FILES ${FERRYSTAR_INSTALL_SOURCES}/copyright DESTINATION ${FERRYSTAR_DOC_DIR})
set(FERRYSTAR_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${FERRYSTAR_CHANGELOG_GZ}
                   COMMAND gzip -9n -c ${FERRYSTAR_INSTALL_SOURCES}/changelog.Debian > ${FERRYSTAR_CHANGELOG_GZ}
                   DEPENDS ${FERRYSTAR_INSTALL_SOURCES}/changelog.Debian VERBATIM)
add_custom_target(ferrystar_changelog ALL DEPENDS ${FERRYSTAR_CHANGELOG_GZ})
install(FILES ${FERRYSTAR_CHANGELOG_GZ} DESTINATION ${FERRYSTAR_DOC_DIR})

set(CPACK_PACKAGE_NAME ferrystar)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_CONTACT "Ferrystar maintainers <maintainers@ferrystar.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop FTP client")
set(CPACK_PACKAGE_DESCRIPTION "One window with saved sites, the local and the remote folder side by\n\
side, and a report panel with the log, the task list and a picture preview.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ferrystar.example.org/)
set(CPACK_STRIP_FILES ON)
include(CPack)
