# Faults during a real installation under Wine; WERB_FAULTS_TABLE=1 makes the run print its table.
werb_win32_test(test_faults tests/win32/test_faults.cpp)
target_link_libraries(test_faults PRIVATE werb_wizard werb_manifest werb_programs)
# Polish file names need a UTF-8 locale on the Unix side: C.UTF-8.
set(WERB_FAULTS_ENV "${WERB_WIZARD_ENV};WERB_PROGRAMS=${WERB_PROGRAMS_DIR};WERB_VERSIONED=${WERB_VERSIONED_DIR}")
set_tests_properties(test_faults PROPERTIES RUN_SERIAL TRUE
  ENVIRONMENT "LC_ALL=C.UTF-8;WERB_UNICODE_NAMES=1;${WERB_FAULTS_ENV}")
# The full disk: drive T: on a small tmpfs, mounted around the run.
add_test(NAME test_faults_disk_full
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-small-disk ${WINE_PREFIX}
          ${PROJECT_SOURCE_DIR}/scripts/wine-run ${WINE_PREFIX} $<TARGET_FILE:test_faults>
          --gtest_filter=FaultTest.DiskFull --gtest_color=no)
set_tests_properties(test_faults_disk_full PROPERTIES RUN_SERIAL TRUE TIMEOUT 300
  ENVIRONMENT "LC_ALL=C;${WERB_FAULTS_ENV}")
# The CD drive taken away in the middle of the copy, from the Unix side.
add_test(NAME test_faults_cd_gone
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-cd-eject ${WINE_PREFIX}
          ${PROJECT_SOURCE_DIR}/scripts/wine-run ${WINE_PREFIX} $<TARGET_FILE:test_faults>
          --gtest_filter=FaultTest.CdDriveGone* --gtest_color=no)
set_tests_properties(test_faults_cd_gone PROPERTIES RUN_SERIAL TRUE TIMEOUT 300
  ENVIRONMENT "LC_ALL=C;${WERB_FAULTS_ENV}")
# Killed at every step: a test build of the installer whose journal ends the process after entry WERB_KILL_AT,
# then the next start. Its own copy of the engine, built with the kill; never in instalator.exe.
werb_win32_test(test_faults_kill tests/win32/test_kill.cpp src/install/Instalacja.cpp)
target_compile_definitions(test_faults_kill PRIVATE WERB_TEST_KILL)
target_link_libraries(test_faults_kill PRIVATE werb_wizard werb_manifest werb_programs)
add_dependencies(test_faults_kill ver6 ver471)
set_tests_properties(test_faults_kill PROPERTIES RUN_SERIAL TRUE TIMEOUT 2400
  ENVIRONMENT "LC_ALL=C;${WERB_FAULTS_ENV}")
