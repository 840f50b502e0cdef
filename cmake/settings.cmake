# Shortcuts, registry settings and the licence page, under Wine against the real registry, shell and rich edit.
# The shell link class and interface identifiers.
target_link_libraries(werb_install PUBLIC uuid)

# HKCU, HKLM, the Start-menu folders and the CD folder are shared with the other tests: run alone. The link
# names and folders have Polish letters, which need a UTF-8 locale on the Unix side (C.UTF-8: Wine locale 1033).
werb_win32_test(test_settings
  tests/win32/test_shortcuts.cpp
  tests/win32/test_registry.cpp
  tests/win32/test_licence.cpp
  tests/win32/test_settings_run.cpp
)
# The complete run writes the product's programs from the resources: they must be linked in.
target_link_libraries(test_settings PRIVATE werb_wizard werb_manifest werb_programs)
set_tests_properties(test_settings PROPERTIES
  ENVIRONMENT "LC_ALL=C.UTF-8;WERB_LICENCE_LOCALE=other;${WERB_WIZARD_ENV}" RUN_SERIAL TRUE)
# The licence in the two locales the installer meets: there the file of the locale's language is typed only
# in its lines with a trigger letter.
foreach(row "fr_FR;fr" "pl_PL;pl")
  list(GET row 0 loc)
  list(GET row 1 short)
  add_test(NAME test_settings_${loc} COMMAND test_settings --gtest_filter=Licence*.* --gtest_color=no)
  set_tests_properties(test_settings_${loc} PROPERTIES
    ENVIRONMENT "LC_ALL=${loc}.UTF-8;WERB_LICENCE_LOCALE=${short};${WERB_WIZARD_ENV}" RUN_SERIAL TRUE TIMEOUT 300)
endforeach()
