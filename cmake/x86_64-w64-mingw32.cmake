# Cross-compiles kviz as a 64-bit Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-win32). Everything is linked statically, so the program needs only the
# DLLs that come with Windows. Built programs run under wine64, in a 64-bit prefix of their own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(KVIZ_MINGW_PREFIX x86_64-w64-mingw32)
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
# Debian's wine64 runs 64-bit programs without any 32-bit part; a prefix that 32-bit wine made
# would not take it.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEARCH=win64 WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
                                  /usr/lib/wine/wine64)
