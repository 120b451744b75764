# Cross-compiles Windows programs with MinGW-w64 for the processor that the
# including toolchain file names (BQ_MINGW_PROCESSOR, BQ_MINGW_TRIPLE).  The
# -posix threading variant: GoogleTest needs std::mutex, which the -win32
# variant lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BQ_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${BQ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BQ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BQ_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${BQ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine through our runner, which picks the loader
# that fits the build tree's processor.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
