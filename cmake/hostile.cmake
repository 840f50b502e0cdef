# Hostile neighbours of the installer: DLLs planted next to it, a program where an unquoted path would lead, the
# temporary folder after many runs; and its built-in programs damaged.
set(WERB_CANARY_DIR ${PROJECT_BINARY_DIR}/canary)

# Canary DLLs: the DLLs the installer loads by name at run time, the ones Wine's and Windows' system DLLs pull
# in after them, and the runtime DLLs a MinGW program could look for. The common controls are imported: their
# canary exports what the installer imports, so that a loader taking it would run its attach.
# The GCC runtime DLL's name tells the exception model of the tree's architecture.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WERB_LIBGCC_DLL libgcc_s_seh-1)
else()
  set(WERB_LIBGCC_DLL libgcc_s_dw2-1)
endif()
set(WERB_CANARY_DLLS version msftedit riched20 uxtheme sfc dwmapi propsys cryptbase userenv profapi wtsapi32
  secur32 winmm ${WERB_LIBGCC_DLL} libstdc++-6 libwinpthread-1 comctl32)
set(WERB_CANARY_TARGETS "")
foreach(name ${WERB_CANARY_DLLS})
  string(MAKE_C_IDENTIFIER ${name} id)
  set(t werb_canary_${id})
  if(name STREQUAL "comctl32")
    add_library(${t} SHARED tests/win32/canary/canary.c tests/win32/canary/comctl32.c)
    target_link_options(${t} PRIVATE -Wl,--kill-at)
  else()
    add_library(${t} SHARED tests/win32/canary/canary.c)
  endif()
  set_target_properties(${t} PROPERTIES OUTPUT_NAME ${name} PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${WERB_CANARY_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${WERB_CANARY_DIR}/lib/${id})
  target_compile_options(${t} PRIVATE ${WARNINGS})
  list(APPEND WERB_CANARY_TARGETS ${t})
endforeach()
add_executable(werb_canary_program WIN32 tests/win32/canary/program.c)
set_target_properties(werb_canary_program PROPERTIES OUTPUT_NAME Program RUNTIME_OUTPUT_DIRECTORY ${WERB_CANARY_DIR})
target_compile_options(werb_canary_program PRIVATE ${WARNINGS})
# A program that loads a DLL by its bare name: what the canaries must be able to catch.
add_executable(werb_canary_loader WIN32 tests/win32/canary/loader.c)
target_link_options(werb_canary_loader PRIVATE -municode)
set_target_properties(werb_canary_loader PROPERTIES OUTPUT_NAME werb-loader RUNTIME_OUTPUT_DIRECTORY ${WERB_CANARY_DIR})
target_compile_options(werb_canary_loader PRIVATE ${WARNINGS})
list(JOIN WERB_CANARY_DLLS "," canary_names)

# The real installer from D: with the canaries beside it, whole installations driven by the demo's user; the CD
# folder, %TEMP%, C:\, Program Files and the registry are shared: run alone.
werb_win32_test(test_hostile tests/win32/test_hostile.cpp)
target_link_libraries(test_hostile PRIVATE werb_install ole32 shell32)
add_dependencies(test_hostile instalator demo_driver werb_cd werb_canary_program werb_canary_loader
  ${WERB_CANARY_TARGETS})
set(hostile_env LC_ALL=C WERB_CDROM=${PROJECT_BINARY_DIR}/cdrom WERB_INSTALATOR=$<TARGET_FILE:instalator>
  WERB_DRIVER=$<TARGET_FILE:demo_driver> WERB_DEINSTALKA=${WERB_CD_DIR}/DeInstalka.exe
  WERB_CANARIES=${WERB_CANARY_DIR} WERB_CANARY_DLLS=${canary_names} WERB_HOSTILE_WORK=${PROJECT_BINARY_DIR}/hostile)
set_tests_properties(test_hostile PROPERTIES ENVIRONMENT "${hostile_env}" RUN_SERIAL TRUE TIMEOUT 1200)
# Spaces and Polish letters in %TEMP% need a UTF-8 locale on the Unix side; `make faults` lists the case.
add_test(NAME test_faults_temporary_folder
  COMMAND test_hostile --gtest_filter=Hostile.TemporaryFolderWithSpacesAndPolishLetters --gtest_color=no)
string(REPLACE "LC_ALL=C" "LC_ALL=C.UTF-8;WERB_UNICODE_NAMES=1" hostile_utf8_env "${hostile_env}")
set_tests_properties(test_faults_temporary_folder PROPERTIES ENVIRONMENT "${hostile_utf8_env}" RUN_SERIAL TRUE
  TIMEOUT 900)

# Damaged resources, patched in this test program's own copy of the installer's resource object.
werb_win32_test(test_hostile_resources tests/win32/test_hostile_resources.cpp)
target_link_libraries(test_hostile_resources PRIVATE werb_wizard werb_manifest werb_programs)
# The programs the engine's tests compare with (engine.cmake).
set_tests_properties(test_hostile_resources PROPERTIES RUN_SERIAL TRUE ENVIRONMENT
  "LC_ALL=C;${WERB_WIZARD_ENV};WERB_PROGRAMS=${WERB_PROGRAMS_DIR}")
