# Cross-compiles kviz for 64-bit RISC-V Linux with Debian's g++-riscv64-linux-gnu; the tests run
# under qemu-riscv64-static (Debian package qemu-user-static). See cmake/LinuxCross.cmake.
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(KVIZ_TRIPLET riscv64-linux-gnu)
set(KVIZ_QEMU qemu-riscv64-static)
include(${CMAKE_CURRENT_LIST_DIR}/LinuxCross.cmake)
