# The real installer under Wine, end to end: relaunch from the CD, the copy, its batch file and the flag.
werb_win32_test(test_entry tests/win32/test_entry.cpp)
add_dependencies(test_entry instalator)
# The installer is copied onto D: (the CD folder) and started there; %TEMP%, D: and HKCU are shared: run alone.
set_tests_properties(test_entry PROPERTIES
  ENVIRONMENT "LC_ALL=C;WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom;WERB_INSTALATOR=${PROJECT_BINARY_DIR}/instalator.exe"
  RUN_SERIAL TRUE
  TIMEOUT 600)
