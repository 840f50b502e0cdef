# Cross toolchain: 32-bit Windows, the shipped build.
set(WERB_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
