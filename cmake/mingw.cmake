# The MinGW-w64 tools for the triple that the including file names.
set(CMAKE_CXX_COMPILER ${mingwtriple}-g++)
set(CMAKE_RC_COMPILER ${mingwtriple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingwtriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
