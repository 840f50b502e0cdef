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
set_tests_properties(test_platform PROPERTIES ENVIRONMENT "LC_ALL=C;WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom")
# The locale-dependent cases again in the locales the installer meets (Wine takes the locale from LC_ALL).
foreach(loc pl_PL fr_FR de_DE)
  add_test(NAME test_platform_${loc} COMMAND test_platform --gtest_filter=FormatFloatLocale.* --gtest_color=no)
  set_tests_properties(test_platform_${loc} PROPERTIES ENVIRONMENT "LC_ALL=${loc}.UTF-8" TIMEOUT 300)
endforeach()
set_tests_properties(test_portable PROPERTIES ENVIRONMENT "LC_ALL=C")

# Subsystems that bring their own targets and test programs.
include(cmake/ui.cmake OPTIONAL)
include(cmake/install.cmake OPTIONAL)
