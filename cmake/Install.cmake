# Where `cmake --install` puts the programs and what the desktop needs to offer them: the menu
# entry, the software-centre description, the icon, the manuals and the manual pages. Included by the top-level
# CMakeLists.txt after every target is defined.
include(GNUInstallDirs)

set(folioset_desktop ${PROJECT_SOURCE_DIR}/resources/desktop)

install(TARGETS folioset2 folioset1 folioset-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Each edition has a menu entry, a software-centre description and an icon of its own.
foreach(id IN ITEMS com.quillmark.Folioset com.quillmark.FoliosetClassic)
    install(FILES ${folioset_desktop}/${id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${folioset_desktop}/${id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endforeach()
install(FILES ${FOLIOSET_APP_ICONS}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${FOLIOSET_MANUALS} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/folioset)
# The manual pages, and folioset-cli's bash completion where bash-completion looks for it.
install(FILES ${FOLIOSET_APP_MANPAGES} ${FOLIOSET_CLI_MANPAGE}
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${FOLIOSET_CLI_COMPLETION}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME folioset-cli)
