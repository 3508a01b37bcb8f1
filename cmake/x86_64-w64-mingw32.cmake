# Cross-compiles kviz as a 64-bit Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-win32); see cmake/MinGW.cmake. Built programs run under wine64, in a
# 64-bit prefix of their own.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KVIZ_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
# Debian's wine64 runs 64-bit programs without any 32-bit part; a prefix that 32-bit wine made
# would not take it.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEARCH=win64 WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
                                  /usr/lib/wine/wine64)
