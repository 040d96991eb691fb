# Cross-compiles for Windows with Debian's mingw-w64 (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RTRILLEX_TRIPLE i686-w64-mingw32)
# Float arithmetic in SSE registers, as in every other build: on the x87 unit
# a float product keeps excess precision, and 0.3f * 10 would no longer
# equal 3 (the popup's lifetime is compared exactly). Every Windows machine
# in use has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
