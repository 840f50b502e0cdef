# Unattended installation: the real installer as a process, from the CD (the product CD copied onto D:) and from
# this tree, with every exit code. D:, %TEMP%, HKCU and the Start menu are shared: run alone. The target folder
# has Polish letters: a UTF-8 locale on the Unix side.
werb_win32_test(test_silent tests/win32/test_silent.cpp)
target_link_libraries(test_silent PRIVATE werb_engine)
add_dependencies(test_silent instalator deinstalka werb_cd)
set(WERB_SILENT_ENV
  "WERB_CD=${WERB_CD_DIR};WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom;WERB_INSTALATOR=${PROJECT_BINARY_DIR}/instalator.exe")
set_tests_properties(test_silent PROPERTIES RUN_SERIAL TRUE TIMEOUT 900
  ENVIRONMENT "LC_ALL=C.UTF-8;${WERB_SILENT_ENV}")
# Too little space: drive T: on a 1 MB tmpfs, mounted around the run.
add_test(NAME test_silent_disk_full
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-small-disk ${WINE_PREFIX}
          ${PROJECT_SOURCE_DIR}/scripts/wine-run ${WINE_PREFIX} $<TARGET_FILE:test_silent>
          --gtest_filter=Silent.TooLittleSpace* --gtest_color=no)
set_tests_properties(test_silent_disk_full PROPERTIES RUN_SERIAL TRUE TIMEOUT 300
  ENVIRONMENT "LC_ALL=C.UTF-8;${WERB_SILENT_ENV}")
