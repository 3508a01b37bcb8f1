# What the Linux and Windows cross toolchain files share (cmake/LinuxCross.cmake,
# cmake/MinGW.cmake; the WebAssembly one takes emscripten's own): the target's libraries,
# headers and packages come from its own root, /usr/KVIZ_TRIPLET, and the programs that build it
# from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KVIZ_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
