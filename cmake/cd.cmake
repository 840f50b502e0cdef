# The product CD (${PROJECT_BINARY_DIR}/cd), the demo driver, and the walk-through test that installs from the CD.
set(WERB_CD_DIR ${PROJECT_BINARY_DIR}/cd)
set(WERB_CD_PARTS ${PROJECT_BINARY_DIR}/cd-parts)
set(WERB_CD_SOURCE ${PROJECT_SOURCE_DIR}/sample/cd)

# The stand-in for the programs the installer writes from its resources (so that a program that came from the
# CD is told apart from the packed one). The uninstaller on the CD is the real one (cmake/uninstall.cmake).
add_executable(werb_cd_stand_in WIN32 sample/cd/StandIn/StandIn.cpp)
# No debug information on the CD.
target_link_options(werb_cd_stand_in PRIVATE -municode -s)
target_compile_options(werb_cd_stand_in PRIVATE ${WARNINGS})
set_target_properties(werb_cd_stand_in PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WERB_CD_PARTS})

# The shared system files: Wine's own comctl32.dll (5.81) is new enough already, so the CD's stays out of the
# system folder; Wine has no comctl32.ocx, so the CD's is copied there.
werb_version_dll(werb_cd_comctl32_dll OUTPUT comctl32.dll FILE_VERSION "5.82 (Werbfranko CD)"
  DIRECTORY ${WERB_CD_PARTS}/dll)
werb_version_dll(werb_cd_comctl32_ocx OUTPUT comctl32.ocx FILE_VERSION "6.0 (Werbfranko CD)"
  DIRECTORY ${WERB_CD_PARTS}/ocx)
foreach(t werb_cd_comctl32_dll werb_cd_comctl32_ocx)
  # Both are named comctl32: keep their import libraries apart.
  set_target_properties(${t} PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${WERB_CD_PARTS}/lib/${t})
endforeach()

# What a user downloads is stripped: about 9 MB of the installer's 10 MB are debug information. The symbols stay
# beside the build's own instalator.exe, in instalator.debug, which the stripped copy names (gdb finds them).
set(WERB_CD_INSTALATOR ${WERB_CD_PARTS}/instalator.exe)
add_custom_command(
  OUTPUT ${WERB_CD_INSTALATOR} ${PROJECT_BINARY_DIR}/instalator.debug
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:instalator> ${PROJECT_BINARY_DIR}/instalator.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${PROJECT_BINARY_DIR}/instalator.debug
          $<TARGET_FILE:instalator> ${WERB_CD_INSTALATOR}
  DEPENDS instalator
  COMMENT "Stripping the CD's instalator.exe"
  VERBATIM)

# What the CD holds, one entry a line: kind|name on the CD|argument|source.
#   copy: a built file; text: UTF-8 source written in a code page with CR LF; tree: a folder copied as it is;
#   dict: a generated dictionary (argument: its direction); dir: an empty folder.
set(WERB_CD_ENTRIES
  "copy|instalator.exe||${WERB_CD_INSTALATOR}"
  "text|autorun.inf|CP1252|${WERB_CD_SOURCE}/autorun.inf"
  "text|umowapol.txt|CP1250|${WERB_CD_SOURCE}/licence/umowapol.txt"
  "text|umowafr.txt|CP1252|${WERB_CD_SOURCE}/licence/umowafr.txt"
  "text|umowaang.txt|CP1250|${WERB_CD_SOURCE}/licence/umowaang.txt"
  "copy|Werbilo.exe||$<TARGET_FILE:werb_cd_stand_in>"
  "copy|Werbika.exe||$<TARGET_FILE:werb_cd_stand_in>"
  "copy|slzewfr.exe||$<TARGET_FILE:werb_cd_stand_in>"
  "copy|slzewpl.exe||$<TARGET_FILE:werb_cd_stand_in>"
  "copy|DeInstalka.exe||$<TARGET_FILE:deinstalka>"
  "copy|comctl32.dll||$<TARGET_FILE:werb_cd_comctl32_dll>"
  "copy|comctl32.ocx||$<TARGET_FILE:werb_cd_comctl32_ocx>"
  "dict|frpol.sz|fr-pl|"
  "dict|polfr.sz|pl-fr|"
  "tree|.||${WERB_CD_SOURCE}/tree"
  "dir|Przykłady/Własne||"
)
list(JOIN WERB_CD_ENTRIES "\n" entries)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/cd-entries.txt CONTENT "${entries}\n")

find_program(WERB_ICONV iconv REQUIRED)
file(GLOB_RECURSE WERB_CD_INPUTS CONFIGURE_DEPENDS ${WERB_CD_SOURCE}/tree/* ${WERB_CD_SOURCE}/licence/*)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/cd.stamp
  COMMAND ${CMAKE_COMMAND} -DENTRIES=${PROJECT_BINARY_DIR}/cd-entries.txt -DCD=${WERB_CD_DIR}
          -DICONV=${WERB_ICONV} -P ${PROJECT_SOURCE_DIR}/cmake/cd-assemble.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/cd.stamp
  DEPENDS ${PROJECT_BINARY_DIR}/cd-entries.txt ${PROJECT_SOURCE_DIR}/cmake/cd-assemble.cmake
          ${WERB_CD_SOURCE}/autorun.inf ${WERB_CD_INPUTS} ${WERB_CD_INSTALATOR}
          instalator werb_cd_stand_in deinstalka werb_cd_comctl32_dll werb_cd_comctl32_ocx
  COMMENT "Assembling the product CD in ${WERB_CD_DIR}"
  VERBATIM)
add_custom_target(werb_cd ALL DEPENDS ${PROJECT_BINARY_DIR}/cd.stamp)

# The demo's user: finds the installer's windows, presses their buttons, and reports what was installed.
add_executable(demo_driver
  tools/demo-driver/driver.cpp
  tools/demo-driver/Desktop.cpp
  tools/demo-driver/Checks.cpp
  tools/demo-driver/Walk.cpp
  tools/demo-driver/Report.cpp
  tools/demo-driver/Uninstall.cpp
  tools/demo-driver/Silent.cpp
)
target_link_options(demo_driver PRIVATE -municode)
target_link_libraries(demo_driver PRIVATE werb_install version ole32 uuid shell32 user32)
target_compile_options(demo_driver PRIVATE ${WARNINGS})
set_target_properties(demo_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The walk-through from the relaunch on, in a fresh prefix of its own, with its report checked. Every feature
# listed here must pass; a tree may narrow the list (-DWERB_DEMO_FEATURES=...) while one is being rebuilt.
if(NOT DEFINED WERB_DEMO_FEATURES)
  set(WERB_DEMO_FEATURES "licence copy builtin system shortcuts registry success uninstall silent")
endif()
foreach(lang pl fr)
  add_test(NAME test_demo_${lang}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/demo --headless --lang ${lang} --build ${PROJECT_BINARY_DIR}
            --out ${PROJECT_BINARY_DIR}/demo-${lang} --expect "${WERB_DEMO_FEATURES}")
  set_tests_properties(test_demo_${lang} PROPERTIES TIMEOUT 900 RESOURCE_LOCK werb_demo)
endforeach()

# The shipped 32-bit installer on its own CD (WERB_CD32_DIR, the win32 tree's cd/), walked by this tree's 64-bit
# driver where 32-bit code runs only under emulation: from D: in Polish and in French with the uninstallation
# after, and cancelled and confirmed. Skipped, with the reason, where 32-bit code runs natively (the win32
# tree's own tests run it there) or where emulation cannot be set up.
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND WERB_CD32_DIR)
  get_filename_component(werb_cd32_tree ${WERB_CD32_DIR} DIRECTORY)
  foreach(run "pl;pl;" "fr;fr;" "cancel;pl;--cancel")
    list(GET run 0 name)
    list(GET run 1 lang)
    list(GET run 2 cancel)
    add_test(NAME test_cd32_${name}
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-i386-emulation
              ${PROJECT_SOURCE_DIR}/scripts/demo --headless --lang ${lang} --build ${PROJECT_BINARY_DIR}
              --cd ${WERB_CD32_DIR} --samples ${werb_cd32_tree}/sample --out ${PROJECT_BINARY_DIR}/cd32-${name}
              --expect "${WERB_DEMO_FEATURES}" ${cancel})
    # Nothing else runs beside them: the emulator is registered for the whole machine while they run.
    set_tests_properties(test_cd32_${name} PROPERTIES TIMEOUT 2400 RUN_SERIAL TRUE SKIP_RETURN_CODE 77
      ENVIRONMENT "WERB_PREFIX_CACHE=${PROJECT_BINARY_DIR}/cd32-prefix")
  endforeach()
endif()
