# Cross-compiles kviz for 32-bit x86 Linux with Debian's g++-i686-linux-gnu; the tests run
# under qemu-i386-static (Debian package qemu-user-static), even on a host that runs 32-bit
# programs itself, so that they run alike on hosts that cannot. See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KVIZ_TRIPLET i686-linux-gnu)
set(KVIZ_QEMU qemu-i386-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
