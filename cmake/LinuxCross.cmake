# What the Linux cross toolchain files share (cmake/<triplet>.cmake set KVIZ_TRIPLET, KVIZ_QEMU
# and CMAKE_SYSTEM_PROCESSOR, then include this): Debian's <triplet>-g++ and the target's
# libraries under /usr/<triplet>, and qemu-user (Debian package qemu-user-static) to run the
# target's programs: gtest_discover_tests and ctest run them through
# CMAKE_CROSSCOMPILING_EMULATOR. Without qemu the cross build makes the programs alone.
set(CMAKE_SYSTEM_NAME Linux)

find_program(CMAKE_CXX_COMPILER NAMES ${KVIZ_TRIPLET}-g++ REQUIRED)
# Its C compiler too, should a project included here (GoogleTest's) enable C.
find_program(CMAKE_C_COMPILER NAMES ${KVIZ_TRIPLET}-gcc)

include(${CMAKE_CURRENT_LIST_DIR}/Cross.cmake)

# A dynamically linked program (a static one needs neither) finds its loader under -L's prefix,
# and its libraries in the same place through LD_LIBRARY_PATH, set for it alone: otherwise the
# loader takes them from the host's /etc/ld.so.cache, which lists the target's libraries when a
# multiarch package has brought them (libc6:i386 comes with wine32:i386), and a C library of
# another release than the cross loader's may crash at start ("stack smashing detected").
find_program(KVIZ_QEMU_PROGRAM ${KVIZ_QEMU})
mark_as_advanced(KVIZ_QEMU_PROGRAM)
if(KVIZ_QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVIZ_QEMU_PROGRAM} -L /usr/${KVIZ_TRIPLET}
      -E LD_LIBRARY_PATH=/usr/${KVIZ_TRIPLET}/lib)
endif()
