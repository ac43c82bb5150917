# Install rules and the Debian package. Installed, the executables live in
# bin/ and the program folder (Res.so, Form.so, Help.html) in lib/velmora; the
# program finds the one from the other (shell/ProgramLayout.cpp).
include(GNUInstallDirs)

set(prog ${VELMORA_INSTALL_PROGRAMDIR})
set(data ${CMAKE_BINARY_DIR}/data)
set(src ${PROJECT_SOURCE_DIR}/data)

install(TARGETS evc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VELMORA_GUI)
    install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(TARGETS velmora_res velmora_form LIBRARY DESTINATION ${prog})
    install(FILES ${VELMORA_BIN_DIR}/Help.html DESTINATION ${prog})
    install(FILES ${src}/${VELMORA_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${data}/${VELMORA_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 48 128)
        install(FILES ${data}/icons/${size}x${size}/${VELMORA_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    install(FILES ${src}/${VELMORA_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${data}/velmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${data}/evc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${src}/copyright ${data}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)

# Packaging builds only what it ships, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dravik Soft")
set(CPACK_PACKAGE_CONTACT "Dravik Soft <support@draviksoft.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.draviksoft.com/velmora/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "batch converter of audio and video files to AMR, AAC, MP3, AC3, M4A, OGG, WAV")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Velmora turns a list of audio and video files into audio files of one type.\n"
    "Pick an output type and a quality preset or a profile of your own, trim each\n"
    "file with the small preview player, choose an output folder and convert.\n"
    "The encoding is done by evc, its own encoder built on the FFmpeg libraries.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries linked come from dpkg-shlibdeps, run by DebDepends.cmake at
# packing time; what is only loaded at run time is listed here: playback
# backend and codecs, the Chinese glyphs of the interface, the desktop's
# opener for folders, help and links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/DebDepends.cmake)
set(CPACK_VELMORA_SHLIBDEPS_DIR ${CMAKE_BINARY_DIR}/shlibdeps)
set(CPACK_VELMORA_ELF_FILES ${VELMORA_BIN_DIR}/evc)
if(VELMORA_GUI)
    list(APPEND CPACK_VELMORA_ELF_FILES ${VELMORA_BIN_DIR}/velmora ${VELMORA_BIN_DIR}/Res.so
         ${VELMORA_BIN_DIR}/Form.so)
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6multimedia6, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav, fonts-wqy-microhei, xdg-utils")
# The desktop's own file dialogs on GTK desktops.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-gtk-platformtheme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
