# Cross-compiles kviz for 32-bit ARM Linux with hardware floating point (Debian's armhf: ARMv7,
# Thumb-2) with Debian's g++-arm-linux-gnueabihf; the tests run under qemu-arm-static (Debian
# package qemu-user-static). See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR armv7)
set(KVIZ_TRIPLET arm-linux-gnueabihf)
set(KVIZ_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
