# The decoder's fuzz target (clang, libFuzzer, ASan and UBSan), its seeds, and the replay of its regression
# vectors with the host tree's sanitizers. fuzz/run runs the fuzzer: `make fuzz`, and a short run in ctest.
set(WERB_FUZZ_DIR ${PROJECT_BINARY_DIR}/fuzz)
set(WERB_FUZZ_SEEDS ${WERB_FUZZ_DIR}/seeds)
set(WERB_FUZZ_REGRESSIONS ${PROJECT_SOURCE_DIR}/fuzz/regressions)
set(WERB_FUZZ_HARNESS ${PROJECT_SOURCE_DIR}/fuzz/fuzz_decoder.cpp ${PROJECT_SOURCE_DIR}/fuzz/reference_oracle.cpp)
set(WERB_FUZZ_DECODER ${PROJECT_SOURCE_DIR}/src/builtin/BlockCodec.cpp)
set(WERB_FUZZ_HEADERS ${PROJECT_SOURCE_DIR}/src/builtin/BlockCodec.h ${PROJECT_SOURCE_DIR}/fuzz/reference_oracle.h
  ${PROJECT_SOURCE_DIR}/tests/portable/ReferenceDecoder.h)

# Seeds: the crafted blocks of the decoder's tests, and real blocks, a few files packed by werbpack.
add_executable(fuzz_crafted_blocks fuzz/crafted_blocks.cpp)
target_include_directories(fuzz_crafted_blocks PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_options(fuzz_crafted_blocks PRIVATE ${WARNINGS})
set(seed_commands "")
set(seed_inputs "")
foreach(f README.md sample/cd/licence/umowapol.txt src/builtin/BlockCodec.h docs/demo-options.png)
  get_filename_component(name ${f} NAME)
  list(APPEND seed_commands COMMAND werbpack pack ${PROJECT_SOURCE_DIR}/${f} ${WERB_FUZZ_SEEDS}/real-${name}.blk)
  list(APPEND seed_inputs ${PROJECT_SOURCE_DIR}/${f})
endforeach()
add_custom_command(OUTPUT ${WERB_FUZZ_DIR}/seeds.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${WERB_FUZZ_SEEDS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${WERB_FUZZ_SEEDS}
  COMMAND fuzz_crafted_blocks ${WERB_FUZZ_SEEDS}
  ${seed_commands}
  COMMAND ${CMAKE_COMMAND} -E touch ${WERB_FUZZ_DIR}/seeds.stamp
  DEPENDS werbpack fuzz_crafted_blocks ${seed_inputs}
  COMMENT "Writing the fuzzer's seeds"
  VERBATIM)
add_custom_target(fuzz_seeds ALL DEPENDS ${WERB_FUZZ_DIR}/seeds.stamp)

# Every regression vector and seed once through the target, built by the host compiler: no clang needed.
add_executable(fuzz_replay fuzz/replay.cpp ${WERB_FUZZ_HARNESS} ${WERB_FUZZ_DECODER})
target_include_directories(fuzz_replay PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src
  ${PROJECT_SOURCE_DIR}/tests)
target_compile_options(fuzz_replay PRIVATE ${WARNINGS} ${SANITIZE})
target_link_options(fuzz_replay PRIVATE ${SANITIZE})
add_dependencies(fuzz_replay fuzz_seeds)
add_test(NAME fuzz_regressions COMMAND fuzz_replay ${WERB_FUZZ_REGRESSIONS} ${WERB_FUZZ_SEEDS})

# The fuzzer itself, built by clang directly: the tree's compiler is g++, which has no libFuzzer.
find_program(WERB_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14)
if(WERB_CLANGXX AND NOT DEFINED CACHE{WERB_LIBFUZZER_WORKS})
  file(WRITE ${WERB_FUZZ_DIR}/probe.cpp
    "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n")
  execute_process(COMMAND ${WERB_CLANGXX} -fsanitize=fuzzer,address,undefined ${WERB_FUZZ_DIR}/probe.cpp
                          -o ${WERB_FUZZ_DIR}/probe
                  RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(probe_result EQUAL 0)
    set(WERB_LIBFUZZER_WORKS TRUE CACHE INTERNAL "clang links -fsanitize=fuzzer")
  else()
    set(WERB_LIBFUZZER_WORKS FALSE CACHE INTERNAL "clang links -fsanitize=fuzzer")
  endif()
endif()
if(WERB_CLANGXX AND WERB_LIBFUZZER_WORKS)
  # Coverage guides by the decoder alone; the harness and the oracle are checked by the sanitizers only.
  set(fuzzer ${WERB_FUZZ_DIR}/fuzz_decoder)
  set(flags -std=c++20 -O2 -g -fno-omit-frame-pointer -fno-sanitize-recover=all -I${PROJECT_SOURCE_DIR}
    -I${PROJECT_SOURCE_DIR}/src -I${PROJECT_SOURCE_DIR}/tests)
  set(objects "")
  set(compile_commands "")
  foreach(src ${WERB_FUZZ_HARNESS} ${WERB_FUZZ_DECODER})
    get_filename_component(name ${src} NAME_WE)
    set(sanitizers address,undefined)
    if(src IN_LIST WERB_FUZZ_DECODER)
      set(sanitizers fuzzer-no-link,address,undefined)
    endif()
    list(APPEND compile_commands COMMAND ${WERB_CLANGXX} ${flags} -fsanitize=${sanitizers} -c ${src}
      -o ${WERB_FUZZ_DIR}/${name}.o)
    list(APPEND objects ${WERB_FUZZ_DIR}/${name}.o)
  endforeach()
  add_custom_command(OUTPUT ${fuzzer}
    ${compile_commands}
    COMMAND ${WERB_CLANGXX} -fsanitize=fuzzer,address,undefined ${objects} -o ${fuzzer}
    DEPENDS ${WERB_FUZZ_HARNESS} ${WERB_FUZZ_DECODER} ${WERB_FUZZ_HEADERS}
    COMMENT "Building the decoder's fuzz target with clang"
    VERBATIM)
  add_custom_target(fuzz_decoder ALL DEPENDS ${fuzzer})
  add_dependencies(fuzz_decoder fuzz_seeds)
else()
  message(WARNING "No clang++ that links -fsanitize=fuzzer (scripts/setup installs clang and libclang-rt-dev): "
    "the test fuzz_decoder_short will fail")
endif()
# Fails when the fuzzer is missing as well: the short run belongs to every test run.
add_test(NAME fuzz_decoder_short COMMAND ${PROJECT_SOURCE_DIR}/fuzz/run ${PROJECT_BINARY_DIR} 60)
set_tests_properties(fuzz_decoder_short PROPERTIES TIMEOUT 300)
