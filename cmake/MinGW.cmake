# What the Windows toolchain files share (cmake/<triplet>.cmake set KVIZ_TRIPLET, KVIZ_WINE and
# KVIZ_WINEARCH, then include this): Debian's MinGW-w64 g++ of the win32 thread model, so that
# there is no winpthread DLL to carry along, and a static link of everything, so that the
# programs need only the DLLs that come with Windows. They run under Debian's wine loader of
# their width, in a prefix of that width in the build folder, quietly and without the .NET and
# HTML engines, which would ask to be installed.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_CXX_COMPILER NAMES ${KVIZ_TRIPLET}-g++-win32 ${KVIZ_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KVIZ_TRIPLET}-windres)
include(${CMAKE_CURRENT_LIST_DIR}/Cross.cmake)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian keeps the loaders of both widths in /usr/lib/wine; /usr/bin/wine is a script that
# takes whichever is installed.
find_program(KVIZ_WINE_PROGRAM ${KVIZ_WINE} HINTS /usr/lib/wine)
mark_as_advanced(KVIZ_WINE_PROGRAM)
if(KVIZ_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEARCH=${KVIZ_WINEARCH}
      WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      ${KVIZ_WINE_PROGRAM})
endif()
