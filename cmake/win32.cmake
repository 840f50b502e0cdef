# The win32 tree: the installer and the tests that run under Wine.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static)

# Every Windows test program runs in this tree's own prefix; D: is a CD-ROM on ${PROJECT_BINARY_DIR}/cdrom.
set(WINE_PREFIX ${PROJECT_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run ${WINE_PREFIX})

# GoogleTest from the Debian sources, built with this toolchain.
set(GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SRC} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(werb_portable STATIC ${PORTABLE_SOURCES})
target_include_directories(werb_portable PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(werb_portable PRIVATE ${WARNINGS})

add_library(werb_win32 STATIC
  src/ui/Unicode.cpp
  src/ui/SystemLibrary.cpp
  src/texts/FormatLocale.cpp
)
target_link_libraries(werb_win32 PUBLIC werb_portable)
target_compile_options(werb_win32 PRIVATE ${WARNINGS})

add_executable(instalator WIN32 src/app/main.cpp)
target_link_options(instalator PRIVATE -municode)
target_link_libraries(instalator PRIVATE werb_win32)
target_compile_options(instalator PRIVATE ${WARNINGS})
set_target_properties(instalator PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# One ctest test per program: a Wine start costs seconds.
function(werb_win32_test name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tools)
  target_link_libraries(${name} PRIVATE werb_win32 gtest_main)
  target_compile_options(${name} PRIVATE ${WARNINGS})
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()

werb_win32_test(test_portable ${PORTABLE_TESTS} ${ENCODER_SOURCES})
werb_win32_test(test_platform
  tests/win32/test_harness.cpp
  tests/win32/test_format_locale.cpp
)
target_link_libraries(test_platform PRIVATE werb_install)
set_tests_properties(test_platform PROPERTIES
  ENVIRONMENT "LC_ALL=C;WERB_EXPECTED_LCID=1033;WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom")
# The locale-dependent cases again in the locales the installer meets (Wine takes the locale from LC_ALL); each
# row also says which locale identifier it must run in.
foreach(row "pl_PL;1045" "fr_FR;1036" "de_DE;1031")
  list(GET row 0 loc)
  list(GET row 1 lcid)
  add_test(NAME test_platform_${loc} COMMAND test_platform --gtest_filter=FormatFloatLocale.* --gtest_color=no)
  set_tests_properties(test_platform_${loc} PROPERTIES
    ENVIRONMENT "LC_ALL=${loc}.UTF-8;WERB_EXPECTED_LCID=${lcid}" TIMEOUT 300)
endforeach()
set_tests_properties(test_portable PROPERTIES ENVIRONMENT "LC_ALL=C")

# Subsystems that bring their own targets and test programs.
include(cmake/ui.cmake OPTIONAL)
include(cmake/install.cmake OPTIONAL)
include(cmake/versioned.cmake)
include(cmake/builtin.cmake)

# The wizard, its dialogs and the program entry.
add_library(werb_wizard STATIC
  src/app/Formularze.cpp
  src/wizard/untMain.cpp
  src/dialogs/untPytanie.cpp
  src/dialogs/untCD.cpp
  src/dialogs/untKatalog.cpp
  src/dialogs/untKatalogDodaj.cpp
  src/install/Czcionki.cpp
)
target_link_libraries(werb_wizard PUBLIC werb_ui werb_install werb_builtin)
target_compile_options(werb_wizard PRIVATE ${WARNINGS})
target_link_libraries(instalator PRIVATE werb_wizard werb_programs ole32 shell32)
# The common controls are loaded on first use, from the system folder: imported, they would come with the
# process and take uxtheme.dll from the program's folder before any of its code runs.
target_sources(instalator PRIVATE src/app/CommonControls.cpp)

# The wizard and its dialogs in one process; the CD folder and HKCU are shared: run alone.
werb_win32_test(test_wizard tests/win32/test_wizard.cpp tests/win32/test_dialogs.cpp tests/win32/test_design.cpp)
target_link_libraries(test_wizard PRIVATE werb_wizard werb_manifest)
set(WERB_WIZARD_ENV "WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom")
set_tests_properties(test_wizard PROPERTIES ENVIRONMENT "LC_ALL=C;${WERB_WIZARD_ENV}" RUN_SERIAL TRUE)
# Start-up language by locale: the locale identifier Wine derives from LC_ALL, and the language the wizard opens in.
foreach(row "fr_FR;1036;2" "fr_BE;2060;2" "fr_CA;3084;2" "pl_PL;1045;0" "en_US;1033;0" "de_DE;1031;0"
            "it_IT;1040;0" "es_ES;3082;0" "ru_RU;1049;0")
  list(GET row 0 loc)
  list(GET row 1 lcid)
  list(GET row 2 start)
  add_test(NAME test_wizard_${loc} COMMAND test_wizard --gtest_filter=*StartupLanguage* --gtest_color=no)
  set_tests_properties(test_wizard_${loc} PROPERTIES
    ENVIRONMENT "LC_ALL=${loc}.UTF-8;WERB_EXPECTED_LCID=${lcid};WERB_EXPECTED_START=${start};${WERB_WIZARD_ENV}"
    RUN_SERIAL TRUE TIMEOUT 300)
endforeach()
include(cmake/entry.cmake OPTIONAL)
include(cmake/engine.cmake)
include(cmake/faults.cmake)

# The options page and the folder browser, on real folders of the prefix.
foreach(t test_options test_katalog)
  werb_win32_test(${t} tests/win32/${t}.cpp)
  target_link_libraries(${t} PRIVATE werb_wizard werb_manifest)
  set_tests_properties(${t} PROPERTIES ENVIRONMENT "LC_ALL=C;${WERB_WIZARD_ENV}" RUN_SERIAL TRUE)
endforeach()

# ---- Options page: test_options again in a French locale (decimal comma); owned by the options page ----
add_test(NAME test_options_fr_FR COMMAND test_options --gtest_filter=OptionsTest.RequiredSpace*:OptionsTest.Dictionaries*:OptionsTest.DriveThatDoesNotExist* --gtest_color=no)
set_tests_properties(test_options_fr_FR PROPERTIES
  ENVIRONMENT "LC_ALL=fr_FR.UTF-8;WERB_EXPECTED_DECIMAL=,;${WERB_WIZARD_ENV}" RUN_SERIAL TRUE TIMEOUT 300)
# ---- end of the options page block ----
include(cmake/settings.cmake)
include(cmake/cd.cmake)
include(cmake/silent.cmake)
include(cmake/hostile.cmake)
include(cmake/uninstall.cmake)
