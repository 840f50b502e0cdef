# Small DLLs carrying a version resource of our own, for the system-file step: its tests and the sample CD.
set(WERB_VERSION_RC_TEMPLATE ${PROJECT_SOURCE_DIR}/cmake/version.rc.in)
set(WERB_VERSION_DLL_SOURCE ${PROJECT_SOURCE_DIR}/cmake/version_dll.c)

# werb_version_dll(target OUTPUT file.dll [FILE_VERSION "5.82 (build note)"] [LANG 0409] [CODEPAGE 04b0]
#                  [DIRECTORY dir])
# Without FILE_VERSION the DLL has no version resource at all. LANG and CODEPAGE (four hex digits each) give
# both the Translation entry and the name of the string block, as resource compilers write them.
function(werb_version_dll target)
  cmake_parse_arguments(V "" "OUTPUT;FILE_VERSION;LANG;CODEPAGE;DIRECTORY" "" ${ARGN})
  if(NOT V_LANG)
    set(V_LANG 0409)
  endif()
  if(NOT V_CODEPAGE)
    set(V_CODEPAGE 04b0)
  endif()
  if(NOT V_DIRECTORY)
    set(V_DIRECTORY ${PROJECT_BINARY_DIR}/versioned)
  endif()
  set(sources ${WERB_VERSION_DLL_SOURCE})
  if(DEFINED V_FILE_VERSION)
    # The numeric FILEVERSION follows the leading numbers of the text; the installer reads only the text.
    string(REGEX MATCHALL "[0-9]+" numbers "${V_FILE_VERSION}")
    list(APPEND numbers 0 0 0 0)
    list(SUBLIST numbers 0 4 numbers)
    list(JOIN numbers "," VERSION_NUMBERS)
    set(FILE_VERSION "${V_FILE_VERSION}")
    set(LANG "${V_LANG}")
    set(CODEPAGE "${V_CODEPAGE}")
    set(rc ${PROJECT_BINARY_DIR}/versioned-src/${target}.rc)
    configure_file(${WERB_VERSION_RC_TEMPLATE} ${rc} @ONLY)
    list(APPEND sources ${rc})
  endif()
  get_filename_component(name_we ${V_OUTPUT} NAME_WE)
  get_filename_component(ext ${V_OUTPUT} LAST_EXT)
  add_library(${target} SHARED ${sources})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name_we} SUFFIX ${ext}
    RUNTIME_OUTPUT_DIRECTORY ${V_DIRECTORY} LIBRARY_OUTPUT_DIRECTORY ${V_DIRECTORY})
endfunction()
