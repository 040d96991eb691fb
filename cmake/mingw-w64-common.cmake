# What both Windows toolchains share. The including file sets
# CMAKE_SYSTEM_PROCESSOR and RTRILLEX_TRIPLE first.
# Debian's posix thread model: GoogleTest, which the end-to-end tests use,
# needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${RTRILLEX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RTRILLEX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${RTRILLEX_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RTRILLEX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The exe is the whole installation: no runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run through Wine; the wrapper picks the prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec.sh)
