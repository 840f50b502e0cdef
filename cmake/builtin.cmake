# The product's four programs inside the installer: built here (or taken from the publisher), packed with
# werbpack and linked into the executable as RCDATA; and the writers that put them back on disk.
set(WERB_PRODUCT_PROGRAMS "" CACHE PATH
  "Folder holding the publisher's Werbika.exe, Werbilo.exe, SlZewFr.exe and SlZewPl.exe; empty: our samples")

# Every program is decoded at the file table's capacity (the main one is written twice, the second time so).
set(WERB_PROGRAM_CAPACITY 2097152)

# werbpack for the build machine, from the same sources as the host tree's.
find_program(WERB_HOST_CXX NAMES c++ g++ REQUIRED)
set(WERBPACK ${PROJECT_BINARY_DIR}/tools/werbpack)
set(werbpack_sources
  ${PROJECT_SOURCE_DIR}/tools/werbpack/main.cpp
  ${PROJECT_SOURCE_DIR}/tools/werbpack/Encoder.cpp
  ${PROJECT_SOURCE_DIR}/src/builtin/BlockCodec.cpp)
add_custom_command(OUTPUT ${WERBPACK}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/tools
  COMMAND ${WERB_HOST_CXX} -std=c++20 -O2 -I${PROJECT_SOURCE_DIR}/src -I${PROJECT_SOURCE_DIR}/tools
          ${werbpack_sources} -o ${WERBPACK}
  DEPENDS ${werbpack_sources} ${PROJECT_SOURCE_DIR}/tools/werbpack/Encoder.h
          ${PROJECT_SOURCE_DIR}/src/builtin/BlockCodec.h
  COMMENT "Building werbpack for the build machine"
  VERBATIM)

set(WERB_PACKED_DIR ${PROJECT_BINARY_DIR}/packed)
set(WERB_SAMPLE_DIR ${PROJECT_BINARY_DIR}/sample)
set(rc_lines "")
set(packed_blocks "")
set(WERB_PROGRAM_FILES "")
foreach(row "Werbika;WERBIKAPL" "Werbilo;WERBILOFR" "SlZewFr;SLZEWFRPL" "SlZewPl;SLZEWPLFR")
  list(GET row 0 name)
  list(GET row 1 resource)
  if(WERB_PRODUCT_PROGRAMS)
    set(exe ${WERB_PRODUCT_PROGRAMS}/${name}.exe)
    if(NOT EXISTS ${exe})
      message(FATAL_ERROR "WERB_PRODUCT_PROGRAMS: ${exe} is missing")
    endif()
    file(SIZE ${exe} size)
    if(size GREATER WERB_PROGRAM_CAPACITY)
      message(FATAL_ERROR "${exe} is ${size} bytes; the installer writes each program through a buffer of "
        "${WERB_PROGRAM_CAPACITY} bytes, so it would install a cut-off copy")
    endif()
    set(exe_dependency ${exe})
  else()
    add_executable(sample_${name} WIN32 ${PROJECT_SOURCE_DIR}/sample/programs/Program.cpp)
    target_compile_definitions(sample_${name} PRIVATE WERB_PROGRAM_NAME="${name}.exe")
    if(name STREQUAL "Werbika")
      # It shows where it was installed: the settings, decoded as the product's programs do.
      target_sources(sample_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/install/TKod.cpp)
      target_include_directories(sample_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
      target_compile_definitions(sample_${name} PRIVATE WERB_SHOWS_SETTINGS)
    endif()
    target_link_options(sample_${name} PRIVATE -municode -s)
    target_compile_options(sample_${name} PRIVATE ${WARNINGS})
    set_target_properties(sample_${name} PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${WERB_SAMPLE_DIR})
    set(exe ${WERB_SAMPLE_DIR}/${name}.exe)
    set(exe_dependency sample_${name})
  endif()
  set(block ${WERB_PACKED_DIR}/${name}.blk)
  # werbpack refuses a program larger than the capacity, naming the file and the limit: the build stops.
  add_custom_command(OUTPUT ${block}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${WERB_PACKED_DIR}
    COMMAND ${WERBPACK} pack --capacity ${WERB_PROGRAM_CAPACITY} ${exe} ${block}
    DEPENDS ${WERBPACK} ${exe_dependency}
    COMMENT "Packing ${name}.exe into ${resource}"
    VERBATIM)
  string(APPEND rc_lines "${resource} RCDATA \"${block}\"\n")
  list(APPEND packed_blocks ${block})
  list(APPEND WERB_PROGRAM_FILES ${exe})
endforeach()

# Where the packed programs came from: the tests compare what the installer writes with these files.
if(WERB_PRODUCT_PROGRAMS)
  set(WERB_PROGRAMS_DIR ${WERB_PRODUCT_PROGRAMS})
else()
  set(WERB_PROGRAMS_DIR ${WERB_SAMPLE_DIR})
endif()

set(programs_rc ${PROJECT_BINARY_DIR}/generated/Programy.rc)
file(CONFIGURE OUTPUT ${programs_rc} CONTENT "${rc_lines}")
add_custom_target(werb_packed_programs DEPENDS ${packed_blocks})
set_source_files_properties(${programs_rc} PROPERTIES OBJECT_DEPENDS "${packed_blocks}")
add_library(werb_programs OBJECT ${programs_rc})
add_dependencies(werb_programs werb_packed_programs)

add_library(werb_builtin STATIC src/builtin/ResourceFiles.cpp)
target_link_libraries(werb_builtin PUBLIC werb_install)
target_compile_options(werb_builtin PRIVATE ${WARNINGS})

