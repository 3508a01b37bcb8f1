# Cross-compiles kviz for 64-bit little-endian POWER Linux (Debian's ppc64el) with Debian's
# g++-powerpc64le-linux-gnu; the tests run under qemu-ppc64le-static (Debian package
# qemu-user-static). See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(KVIZ_TRIPLET powerpc64le-linux-gnu)
set(KVIZ_QEMU qemu-ppc64le-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
