# Installing Quorvel into the system (cmake --install) and its Debian package
# (cpack -G DEB in the build folder).
include(GNUInstallDirs)

set(QV_APP_ID org.example.quorvel.Quorvel)
set(QV_RELEASE_DATE 2026-12-08)

install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/dist/${QV_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${QV_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The list files' type: the desktop's MIME database takes it from here (in the
# package, shared-mime-info's trigger on this folder updates it).
install(FILES ${CMAKE_SOURCE_DIR}/dist/${QV_APP_ID}.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
configure_file(${CMAKE_SOURCE_DIR}/dist/${QV_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/${QV_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${QV_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/ui/readme.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})

# An installed program knows itself by its install tree: it runs from a
# folder named as the install's bin folder, and finds its readme from there,
# wherever the prefix is.
get_filename_component(QV_BIN_NAME ${CMAKE_INSTALL_FULL_BINDIR} NAME)
file(RELATIVE_PATH QV_DOC_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DOCDIR})
set_property(SOURCE ${CMAKE_SOURCE_DIR}/platform/platform.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS QV_BIN_NAME="${QV_BIN_NAME}" QV_DOC_FROM_BIN="${QV_DOC_FROM_BIN}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "The Quorvel developers <dev@quorvel.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "to-do list of short memos, Japanese user interface")
set(CPACK_PACKAGE_DESCRIPTION "\
Quorvel keeps a to-do list of short free-text memos in a plain list file
in code page 932 (Shift_JIS), so the files move to and from Windows
unchanged. Memos are reordered, coloured, edited, moved to a trash and
restored, and the list prints as titles only or as whole memos.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://quorvel.example.org/")
# The libraries it links come from dpkg-shlibdeps. Beside them: the gothic
# fonts the Japanese text is drawn in, Qt's platform plugins, without which
# the program cannot open a window at all, and Qt's translations, which make
# Qt's own dialogs and buttons speak the user's language.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-qpa-plugins, qt6-translations-l10n")
# The readme and the home page open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
