# The widget layer over Win32 (werb_ui), the manifest every GUI program links, and its test under Wine.
enable_language(RC)

add_library(werb_ui STATIC
  src/ui/Gdi.cpp
  src/ui/Controls.cpp
  src/ui/Forms.cpp
  src/ui/StdCtrls.cpp
  src/ui/ExtCtrls.cpp
  src/ui/ComCtrls.cpp
  src/ui/Obrazki.cpp
)
target_link_libraries(werb_ui PUBLIC werb_win32 comctl32 gdi32 user32)
target_compile_options(werb_ui PRIVATE ${WARNINGS})

# The manifest as an object library: linking it puts RT_MANIFEST 1 into the program.
add_library(werb_manifest OBJECT src/ui/Manifest.rc)
target_include_directories(werb_manifest PRIVATE ${PROJECT_SOURCE_DIR}/src/ui)
set_source_files_properties(src/ui/Manifest.rc PROPERTIES
  OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/src/ui/Werb.manifest)

target_link_libraries(instalator PRIVATE werb_ui werb_manifest)

werb_win32_test(test_ui
  tests/win32/test_ui.cpp
  tests/win32/test_ui_controls.cpp
)
target_link_libraries(test_ui PRIVATE werb_ui werb_manifest)
set_tests_properties(test_ui PROPERTIES ENVIRONMENT "LC_ALL=C")

# The captions of the real forms drawn whole, at four DPIs: a prefix of its own (build/.../fit/wine, its CD
# folder fit/cdrom), whose LogPixels scripts/wine-run sets from WERB_DPI before each run.
add_executable(test_fit tests/win32/test_fit.cpp tests/win32/test_fit_support.cpp)
target_include_directories(test_fit PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(test_fit PRIVATE werb_win32 gtest_main werb_wizard werb_manifest)
target_compile_options(test_fit PRIVATE ${WARNINGS})
foreach(dpi 96 120 144 192)
  add_test(NAME test_fit_${dpi}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run ${PROJECT_BINARY_DIR}/fit/wine $<TARGET_FILE:test_fit> --gtest_color=no)
  set_tests_properties(test_fit_${dpi} PROPERTIES TIMEOUT 600 RESOURCE_LOCK werb_fit_prefix
    ENVIRONMENT "LC_ALL=C;WERB_DPI=${dpi};WERB_CDROM=${PROJECT_BINARY_DIR}/fit/cdrom")
endforeach()
