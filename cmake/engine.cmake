# The installation run from D: into the prefix, and the system-file rule on DLLs of known versions.
set(WERB_VERSIONED_DIR ${PROJECT_BINARY_DIR}/versioned)
werb_version_dll(ver582 OUTPUT ver582.dll FILE_VERSION "5.82 (build note)")
werb_version_dll(ver472 OUTPUT ver472.dll FILE_VERSION "4.72")
werb_version_dll(ver471 OUTPUT ver471.dll FILE_VERSION "4.71")
werb_version_dll(ver5x OUTPUT ver5x.dll FILE_VERSION "5.x")
werb_version_dll(ver6 OUTPUT ver6.dll FILE_VERSION "6")
werb_version_dll(ver_pl OUTPUT ver_pl.dll FILE_VERSION "6.1" LANG 0415 CODEPAGE 04e2)
werb_version_dll(vernone OUTPUT vernone.dll)
werb_win32_test(test_engine tests/win32/test_engine.cpp)
target_link_libraries(test_engine PRIVATE werb_wizard werb_manifest werb_programs)
add_dependencies(test_engine ver582 ver472 ver471 ver5x ver6 ver_pl vernone)
set_tests_properties(test_engine PROPERTIES RUN_SERIAL TRUE ENVIRONMENT
  "LC_ALL=C;${WERB_WIZARD_ENV};WERB_PROGRAMS=${WERB_PROGRAMS_DIR};WERB_VERSIONED=${WERB_VERSIONED_DIR}")

# The copy's benchmark program; scripts/bench-copy runs it under Wine next to cp -r.
add_executable(bench_copy bench/bench_copy.cpp)
target_link_options(bench_copy PRIVATE -municode)
target_link_libraries(bench_copy PRIVATE werb_wizard werb_manifest)
target_compile_options(bench_copy PRIVATE ${WARNINGS})
set_target_properties(bench_copy PROPERTIES EXCLUDE_FROM_ALL TRUE)

# The whole-run benchmark program (the installation, the uninstallation, and the bare copy and delete they are
# held against); scripts/bench-run runs it under Wine.
add_executable(bench_run bench/bench_run.cpp)
target_link_options(bench_run PRIVATE -municode)
target_link_libraries(bench_run PRIVATE werb_deinstalka werb_wizard werb_manifest werb_programs ole32)
target_compile_options(bench_run PRIVATE ${WARNINGS})
set_target_properties(bench_run PROPERTIES EXCLUDE_FROM_ALL TRUE)
