# Cross toolchain: 64-bit Windows, the build the tests run on machines without 32-bit code.
set(WERB_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
