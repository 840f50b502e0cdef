# The host tree: portable code, the werbpack tool, native tests with sanitizers, benchmarks.
find_package(GTest REQUIRED)
find_package(benchmark QUIET)

add_library(werb_portable STATIC ${PORTABLE_SOURCES} ${ENCODER_SOURCES})
target_include_directories(werb_portable PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tools)
target_compile_options(werb_portable PRIVATE ${WARNINGS})

add_executable(werbpack tools/werbpack/main.cpp)
target_link_libraries(werbpack PRIVATE werb_portable)
target_compile_options(werbpack PRIVATE ${WARNINGS})
set_target_properties(werbpack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The tests compile the portable sources again, instrumented.
set(SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_executable(host_tests ${PORTABLE_SOURCES} ${ENCODER_SOURCES} ${PORTABLE_TESTS}
  tests/host/test_werbpack_cli.cpp)
target_include_directories(host_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tools
  ${PROJECT_SOURCE_DIR}/tests)
target_compile_options(host_tests PRIVATE ${WARNINGS} ${SANITIZE})
target_link_options(host_tests PRIVATE ${SANITIZE})
target_link_libraries(host_tests PRIVATE GTest::gtest_main)
target_compile_definitions(host_tests PRIVATE WERBPACK_PATH="$<TARGET_FILE:werbpack>")
add_dependencies(host_tests werbpack)

include(GoogleTest)
gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60)
include(cmake/fuzz.cmake)

# The benchmark compares with zlib and libdeflate when they are installed.
if(benchmark_FOUND)
  find_package(ZLIB QUIET)
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
  find_library(LIBDEFLATE_LIBRARY deflate)
  add_executable(bench_codec bench/bench_codec.cpp)
  target_include_directories(bench_codec PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(bench_codec PRIVATE werb_portable benchmark::benchmark)
  target_compile_definitions(bench_codec PRIVATE WERB_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_compile_options(bench_codec PRIVATE ${WARNINGS})
  if(ZLIB_FOUND)
    target_link_libraries(bench_codec PRIVATE ZLIB::ZLIB)
    target_compile_definitions(bench_codec PRIVATE WERB_HAVE_ZLIB)
  endif()
  if(LIBDEFLATE_INCLUDE_DIR AND LIBDEFLATE_LIBRARY)
    target_include_directories(bench_codec PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
    target_link_libraries(bench_codec PRIVATE ${LIBDEFLATE_LIBRARY})
    target_compile_definitions(bench_codec PRIVATE WERB_HAVE_LIBDEFLATE)
  endif()
endif()
