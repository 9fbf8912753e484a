# Cross-compiles for 64-bit Windows with MinGW-w64: the same program for
# hosts that run only 64-bit Windows programs (64-bit Wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingwtriple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
