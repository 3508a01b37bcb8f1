# Cross-compiles kviz for 64-bit IBM Z Linux with Debian's g++-s390x-linux-gnu; the tests run
# under qemu-s390x-static (Debian package qemu-user-static). See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(KVIZ_TRIPLET s390x-linux-gnu)
set(KVIZ_QEMU qemu-s390x-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
