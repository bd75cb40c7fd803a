# The Windows packages, both from the same install rules: upszelto-<version>-setup.exe (NSIS, with
# the installer script NSIS.template.in next to this file) and upszelto-<version>-portable.zip.
# `cpack` in the Windows build folder makes them (scripts/build-windows --package); makensis comes
# from Debian's nsis package. Included from win32/CMakeLists.txt, after the program's targets.

install(TARGETS upszelto RUNTIME DESTINATION .)
# Plain text for Notepad: CRLF line ends.
set(ZELTO_PACKAGE_README ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${ZELTO_PACKAGE_README} @ONLY
    NEWLINE_STYLE CRLF)
install(FILES ${ZELTO_PACKAGE_README} DESTINATION .)
# The licence goes with the program once the project has one.
if(EXISTS ${CMAKE_SOURCE_DIR}/LICENSE)
    install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
endif()

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME upszelto)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "UPS Zelto developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "UPS monitor in the tray with shutdown on power failure")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "UPS Zelto")
# The file names per generator (setup / portable) are chosen when cpack runs, so that a version
# given to cpack (-R) names the files too.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package_file_names.cmake)
# Our own installer script instead of CPack's generic one.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_ZELTO_ICON ${ZELTO_ICON_DIR}/app.ico)
set(CPACK_ZELTO_SETUP_TEXTS ${CMAKE_CURRENT_LIST_DIR}/setup_texts.nsh)
# The program is linked stripped already.
set(CPACK_STRIP_FILES OFF)
include(CPack)
