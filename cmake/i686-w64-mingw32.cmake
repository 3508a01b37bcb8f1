# Cross-compiles kviz as a 32-bit Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-i686-win32). Everything is linked statically, so the program needs only the
# DLLs that come with Windows. Built programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KVIZ_MINGW_PREFIX i686-w64-mingw32)
# The win32 thread model: no winpthread DLL to carry along.
find_program(CMAKE_CXX_COMPILER NAMES ${KVIZ_MINGW_PREFIX}-g++-win32 ${KVIZ_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KVIZ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVIZ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
