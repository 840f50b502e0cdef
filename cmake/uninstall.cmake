# The uninstaller DeInstalka.exe (carried on the product CD, so that it arrives in the target folder), the
# record helpers the installer writes its record with, and the uninstallation's test under Wine.
add_library(werb_uninstall STATIC src/uninstall/untDeinstalFunkcje.cpp)
target_link_libraries(werb_uninstall PUBLIC werb_install)
target_compile_options(werb_uninstall PRIVATE ${WARNINGS})
# The installation's engine: the journal of every change, roll-back and the record made from the journal.
add_library(werb_engine STATIC src/install/Instalacja.cpp)
target_link_libraries(werb_engine PUBLIC werb_uninstall)
target_compile_options(werb_engine PRIVATE ${WARNINGS})
target_link_libraries(werb_wizard PUBLIC werb_engine)

# The window and the run; the question dialog and the interface font are the wizard's.
add_library(werb_deinstalka STATIC src/uninstall/untDeinstalka.cpp)
target_link_libraries(werb_deinstalka PUBLIC werb_uninstall werb_wizard werb_ui)
target_compile_options(werb_deinstalka PRIVATE ${WARNINGS})

add_executable(deinstalka WIN32 src/uninstall/main.cpp)
# Administrator rights (the manifest), as the installer: it removes from Program Files and HKEY_LOCAL_MACHINE.
# No debug information: the file goes on the CD.
target_link_options(deinstalka PRIVATE -municode -s)
target_link_libraries(deinstalka PRIVATE werb_deinstalka werb_manifest shell32)
# Its first instance starts from the target folder: the common controls as the installer takes them.
target_sources(deinstalka PRIVATE src/app/CommonControls.cpp)
target_compile_options(deinstalka PRIVATE ${WARNINGS})
set_target_properties(deinstalka PROPERTIES OUTPUT_NAME DeInstalka RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# Installs through the wizard from D: (its programs from the resources), then uninstalls in the test process,
# through the uninstall entry's command line, and as runs of the test program started again and ended at each
# step; HKCU, HKLM, %TEMP%, the Start menu and D: are shared: run alone. The group's link names have Polish letters: a UTF-8 locale on the Unix side.
werb_win32_test(test_uninstall tests/win32/test_uninstall.cpp tools/demo-driver/Desktop.cpp)
target_link_libraries(test_uninstall PRIVATE werb_deinstalka werb_wizard werb_manifest werb_programs version)
add_dependencies(test_uninstall deinstalka)
# Wine makes no junction, but shows a Unix symbolic link as a reparse point: a target folder with a folder
# link and a file link in it, both leading to its sibling "inne".
# Its path without links on the Unix side: the uninstaller refuses a target reached through one.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/uninstall-links/cel ${PROJECT_BINARY_DIR}/uninstall-links/inne)
file(REAL_PATH ${PROJECT_BINARY_DIR}/uninstall-links WERB_LINKS)
file(CREATE_LINK ../inne ${WERB_LINKS}/cel/dane SYMBOLIC)
file(CREATE_LINK ../inne/f.txt ${WERB_LINKS}/cel/plik.txt SYMBOLIC)
set_tests_properties(test_uninstall PROPERTIES RUN_SERIAL TRUE TIMEOUT 1800 ENVIRONMENT
  "LC_ALL=C.UTF-8;${WERB_WIZARD_ENV};WERB_DEINSTALKA=${PROJECT_BINARY_DIR}/DeInstalka.exe;WERB_LINKS=${WERB_LINKS}")
# 5,000 files installed and uninstalled with Wine under a limit of 1,024 open files.
add_test(NAME test_uninstall_file_limit
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-file-limit 1024 ${WINE_PREFIX}
          ${PROJECT_SOURCE_DIR}/scripts/wine-run ${WINE_PREFIX} $<TARGET_FILE:test_uninstall>
          --gtest_filter=UninstallTest.UnderALimitOfOpenFiles* --gtest_color=no)
set_tests_properties(test_uninstall_file_limit PROPERTIES RUN_SERIAL TRUE TIMEOUT 900 ENVIRONMENT
  "LC_ALL=C.UTF-8;${WERB_WIZARD_ENV};WERB_DEINSTALKA=${PROJECT_BINARY_DIR}/DeInstalka.exe;WERB_LINKS=${WERB_LINKS}")
