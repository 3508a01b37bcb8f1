# Cross-compiles kviz for 32-bit ARM Linux with soft floating point (Debian's armel: ARMv5TE)
# with Debian's g++-arm-linux-gnueabi; the tests run under qemu-arm-static (Debian package
# qemu-user-static). See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR armv5te)
set(KVIZ_TRIPLET arm-linux-gnueabi)
set(KVIZ_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
