# Cross-compiles kviz as a 64-bit Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-x86-64-win32); its programs run under wine64, which needs no 32-bit part. See
# cmake/MinGW.cmake.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KVIZ_TRIPLET x86_64-w64-mingw32)
set(KVIZ_WINE wine64)
set(KVIZ_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
