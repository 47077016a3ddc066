# Installation layout and the Debian package.
#
# The viewer looks for its help page in its own directory, so program and help live
# together in lib/kurvex; bin/kurvex is a link to it. kurvex-cli goes straight into bin.
include(GNUInstallDirs)

set(KURVEX_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/kurvex)

if(TARGET kurvex)
  install(TARGETS kurvex RUNTIME DESTINATION ${KURVEX_PRIVATE_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/help/kurvex.html DESTINATION ${KURVEX_PRIVATE_DIR})
  file(GLOB help_images ${PROJECT_SOURCE_DIR}/help/*.png)
  if(help_images)
    install(FILES ${help_images} DESTINATION ${KURVEX_PRIVATE_DIR})
  endif()
  file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${KURVEX_PRIVATE_DIR}/kurvex)
  file(CREATE_LINK ${link_target} ${PROJECT_BINARY_DIR}/kurvex-link SYMBOLIC)
  install(FILES ${PROJECT_BINARY_DIR}/kurvex-link DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kurvex)

  install(FILES ${PROJECT_SOURCE_DIR}/data/kurvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kurvex-sav.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  foreach(size 16 32 48 128)
    if(EXISTS ${PROJECT_SOURCE_DIR}/data/icons/kurvex-${size}.png)
      install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kurvex-${size}.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kurvex.png)
    endif()
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kurvex)
set(CPACK_PACKAGE_VENDOR "Kurvex")
set(CPACK_PACKAGE_CONTACT "Kurvex developers <kurvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for saved oscilloscope waveforms (.sav)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KURVEX_BUILD_NUMBER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The platform plugins are loaded at run time, so no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core | fonts-liberation")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
