# Where an installed Framewright puts its files (freedesktop places under the prefix), and
# the Debian package CPack makes of them.
set(FW_APP_ID com.tessaly.Framewright)
install(TARGETS framewright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS framewright-editor LIBRARY DESTINATION ${FW_EDITOR_MODULE_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/framewright/docs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${FW_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${FW_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/${FW_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/hicolor/${size}x${size}/${FW_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME framewright)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_CONTACT "Tessaly <framewright@tessaly.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for animated GIF files")
set(CPACK_PACKAGE_DESCRIPTION
    "Opens, edits, optimizes and converts animated GIF files; builds animations from\nBMP, JPEG, PNG/APNG, PSD, icon, cursor and AVI files; runs as a batch tool too.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY framewright)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Library dependencies come from dpkg-shlibdeps; the font and Qt's translations are data the
# program needs for its Chinese interface.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# FFmpeg's libraries are loaded when an AVI is first read or written rather than linked, so
# dpkg-shlibdeps cannot see them: the packages of the versions built against are named here.
set(fw_ffmpeg_packages "")
foreach(library avformat avcodec avutil swscale)
  execute_process(COMMAND pkg-config --modversion lib${library} OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX MATCH "^[0-9]+" major "${version}")
  string(APPEND fw_ffmpeg_packages ", lib${library}${major}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n${fw_ffmpeg_packages}")
include(CPack)
