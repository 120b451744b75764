# 64-bit Windows: the same programs for hosts that run no 32-bit x86 code,
# tested under wine64.
set(BQ_MINGW_PROCESSOR x86_64)
set(BQ_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
