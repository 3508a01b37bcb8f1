# Cross-compiles kviz as a 32-bit Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-i686-win32); its programs run under 32-bit wine (Debian package wine32:i386),
# where the host runs 32-bit programs. See cmake/MinGW.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KVIZ_TRIPLET i686-w64-mingw32)
set(KVIZ_WINE wine)
set(KVIZ_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
