# The installation helpers (untInstalFunkcje) and their tests under Wine.
add_library(werb_install STATIC
  src/install/untInstalFunkcje.cpp
  src/install/ProductView.cpp
  src/install/Uprawnienia.cpp
  src/unattended/Protokol.cpp
)
target_link_libraries(werb_install PUBLIC werb_win32 shell32 advapi32 ole32 gdi32 user32)
target_compile_options(werb_install PRIVATE ${WARNINGS})

# Relaunches itself from D: through UruchomKopie; the test drives it.
add_executable(relaunch_probe WIN32 tests/win32/relaunch_probe.cpp)
target_link_options(relaunch_probe PRIVATE -municode)
target_link_libraries(relaunch_probe PRIVATE werb_install)
target_compile_options(relaunch_probe PRIVATE ${WARNINGS})
set_target_properties(relaunch_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

werb_win32_test(test_install tests/win32/test_install.cpp)
target_link_libraries(test_install PRIVATE werb_install)
set_target_properties(test_install PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
add_dependencies(test_install relaunch_probe)
# Unix paths; the test reaches them through Z:. The relaunch cases use %TEMP% and HKCU: run alone.
set(WERB_INSTALL_TEST_ENV
  "WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom"
  "WERB_PROBE=${PROJECT_BINARY_DIR}/relaunch_probe.exe"
  "WERB_BIN=${PROJECT_BINARY_DIR}"
)
set_tests_properties(test_install PROPERTIES
  ENVIRONMENT "LC_ALL=C;WERB_EXPECTED_LCID=1033;WERB_EXPECTED_JEZYK=0;${WERB_INSTALL_TEST_ENV}"
  RUN_SERIAL TRUE)

# Non-ASCII file names need a UTF-8 locale installed on the Unix side: C.UTF-8 (Wine: 1033, ANSI 1252, OEM 437).
add_test(NAME test_install_utf8 COMMAND test_install --gtest_filter=Relaunch.NonAscii*:DeletingBatch.* --gtest_color=no)
set_tests_properties(test_install_utf8 PROPERTIES
  ENVIRONMENT "LC_ALL=C.UTF-8;WERB_UNICODE_NAMES=1;${WERB_INSTALL_TEST_ENV}"
  RUN_SERIAL TRUE TIMEOUT 300)

# JezykSystemu in the locales the installer meets: locale identifier Wine derives from LC_ALL, and its language.
foreach(row "fr_FR;1036;2" "fr_BE;2060;2" "fr_CA;3084;2" "pl_PL;1045;0" "en_US;1033;0" "de_DE;1031;3" "ru_RU;1049;6")
  list(GET row 0 loc)
  list(GET row 1 lcid)
  list(GET row 2 jezyk)
  add_test(NAME test_install_${loc} COMMAND test_install --gtest_filter=SystemLanguage.* --gtest_color=no)
  set_tests_properties(test_install_${loc} PROPERTIES
    ENVIRONMENT "LC_ALL=${loc}.UTF-8;WERB_EXPECTED_LCID=${lcid};WERB_EXPECTED_JEZYK=${jezyk}"
    TIMEOUT 300)
endforeach()
