# Cross-compiles kviz for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; the tests run
# under qemu-aarch64-static (Debian package qemu-user-static). See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KVIZ_TRIPLET aarch64-linux-gnu)
set(KVIZ_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
