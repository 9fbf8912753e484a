# Cross-compiles for 32-bit Windows with MinGW-w64, linked statically so
# that plotwalk.exe needs no run-time DLLs beside the system's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingwtriple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# Without SSE the compiler passes the scanner's sixteen-byte vectors in
# another way and says so; they pass only between functions of one file.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
