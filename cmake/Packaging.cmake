# SPDX-License-Identifier: GPL-3.0-or-later
# Installation layout, the help page beside the program in the build tree, the desktop
# checks and the Debian package.
#
# The viewer looks for its help page in its own directory, so program and help live
# together in lib/kurvex; bin/kurvex is a link to it. kurvex-cli goes straight into bin.
include(GNUInstallDirs)

# Not the multiarch library folder: a program's private files belong in lib/<program>.
set(KURVEX_PRIVATE_DIR lib/kurvex)
# kurvex.html in German, kurvex_en.html for the English interface, and their pictures.
file(GLOB KURVEX_HELP_FILES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/help/kurvex.html ${PROJECT_SOURCE_DIR}/help/kurvex_en.html
  ${PROJECT_SOURCE_DIR}/help/*.png)

if(TARGET kurvex)
  # F1 works from the build tree too: the help page and its pictures beside build/src/app/kurvex.
  get_target_property(viewer_dir kurvex BINARY_DIR)
  set(help_copies)
  foreach(source ${KURVEX_HELP_FILES})
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${viewer_dir}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${viewer_dir}/${name}
      DEPENDS ${source} VERBATIM)
    list(APPEND help_copies ${viewer_dir}/${name})
  endforeach()
  add_custom_target(kurvex_help DEPENDS ${help_copies})
  add_dependencies(kurvex kurvex_help)

  install(TARGETS kurvex RUNTIME DESTINATION ${KURVEX_PRIVATE_DIR})
  install(FILES ${KURVEX_HELP_FILES} DESTINATION ${KURVEX_PRIVATE_DIR})
  # A relative link, so that the tree can be moved (a package root, DESTDIR, another prefix).
  file(RELATIVE_PATH link_target ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${KURVEX_PRIVATE_DIR}/kurvex)
  file(CREATE_LINK ${link_target} ${PROJECT_BINARY_DIR}/kurvex-link SYMBOLIC)
  install(FILES ${PROJECT_BINARY_DIR}/kurvex-link DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kurvex)

  install(FILES ${PROJECT_SOURCE_DIR}/data/kurvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kurvex-sav.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  foreach(size 16 32 48 128)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kurvex-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kurvex.png)
  endforeach()
endif()

# The license in the machine-readable form Debian tools read.
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kurvex)

if(KURVEX_BUILD_TESTS)
  # The desktop entry and the file type, checked with the desktop's own tools where they
  # are installed; the scripts report a skip (77) otherwise.
  add_test(NAME desktop_entry COMMAND ${PROJECT_SOURCE_DIR}/tests/package/check-desktop-entry.sh
           ${PROJECT_SOURCE_DIR}/data/kurvex.desktop)
  add_test(NAME mime_type COMMAND ${PROJECT_SOURCE_DIR}/tests/package/check-mime-type.sh
           ${PROJECT_SOURCE_DIR}/data/kurvex-sav.xml ${PROJECT_SOURCE_DIR}/examples)
  set_tests_properties(desktop_entry mime_type PROPERTIES SKIP_RETURN_CODE 77 LABELS desktop)
  add_test(NAME license_headers COMMAND ${PROJECT_SOURCE_DIR}/tests/package/check-license.sh
           ${PROJECT_SOURCE_DIR})
  set_tests_properties(license_headers PROPERTIES SKIP_RETURN_CODE 77)
  if(TARGET kurvex)
    # F1 from the build tree finds the pages of both languages and every picture they show.
    add_test(NAME help_beside_viewer
             COMMAND ${PROJECT_SOURCE_DIR}/tests/package/check-help-beside.sh $<TARGET_FILE_DIR:kurvex>)
  endif()
  if(TARGET kurvex AND TARGET kurvex-cli AND NOT KURVEX_SANITIZE)
    # Builds the Debian package from this build, unpacks it and runs what it installed.
    # Not from a sanitized build: that leaves the Python module out and is no package to
    # ship.
    add_test(NAME debian_package COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-package.sh
             ${PROJECT_BINARY_DIR})
    set_tests_properties(debian_package PROPERTIES SKIP_RETURN_CODE 77 LABELS package
                         RUN_SERIAL TRUE TIMEOUT 900)
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kurvex)
set(CPACK_PACKAGE_VENDOR "Kurvex")
set(CPACK_PACKAGE_CONTACT "Kurvex developers <kurvex@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for saved oscilloscope waveforms (.sav)")
set(CPACK_PACKAGE_DESCRIPTION
  "Shows the waveform files (.sav) of the UTD2052CEL, UTD2102CEL and UTD2025CL\n\
oscilloscopes: zoom, cursors, measurements, automatic measurements, a spectrum\n\
with harmonics and THD, a math trace, and export to PNG,\n\
clipboard, paper, CSV, LTspice RAW and sigrok sessions. Includes kurvex-cli for\n\
batch work and the Python module kurvex (captures as NumPy arrays).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kurvex.example.org/")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KURVEX_BUILD_NUMBER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The platform plugins are loaded at run time, so no library dependency names them; help and
# website open through xdg-open. The bus decoders are Python files that libsigrokdecode loads
# at run time; Debian ships them in the library's own package, named here for them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, xdg-utils, fonts-dejavu-core | fonts-liberation, libsigrokdecode4 (>= 0.5.3)")
# German texts in the toolkit's own dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The Python module is built for one interpreter version and hands out NumPy arrays.
if(TARGET kurvex_python)
  math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), "
         "python3 (<< ${Python3_VERSION_MAJOR}.${next_minor}), python3-numpy")
endif()
include(CPack)
