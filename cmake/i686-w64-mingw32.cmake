# Cross-compiles for Windows with Debian's mingw-w64 (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RTRILLEX_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
