# What the Windows toolchain files share (cmake/<triplet>-w64-mingw32.cmake set KVIZ_MINGW_PREFIX
# and CMAKE_SYSTEM_PROCESSOR, then include this): Debian's MinGW-w64 g++ of the win32 thread
# model, so that there is no winpthread DLL to carry along, and a static link of everything, so
# that the programs need only the DLLs that come with Windows.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_CXX_COMPILER NAMES ${KVIZ_MINGW_PREFIX}-g++-win32 ${KVIZ_MINGW_PREFIX}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KVIZ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVIZ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
