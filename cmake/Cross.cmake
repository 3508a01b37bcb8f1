# What every cross toolchain file shares (cmake/LinuxCross.cmake, cmake/MinGW.cmake): the
# target's libraries, headers and packages come from its own root, /usr/KVIZ_TRIPLET, and the
# programs that build it from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KVIZ_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
