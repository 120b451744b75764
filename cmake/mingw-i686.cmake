# 32-bit Windows (the product): MinGW-w64 i686.
set(BQ_MINGW_PROCESSOR i686)
set(BQ_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
