# How the game links (KVIZ_LINK): static-pie where the toolchain links it, else static, else
# dynamic; dynamic with -DKVIZ_STATIC=OFF and in a sanitizer build, whose runtimes are shared
# libraries. KVIZ_GAME_LINK_OPTIONS are the options of the game and of the programs that stand
# in for it in tests and benchmarks; KVIZ_LINKS_STATIC_PIE and KVIZ_LINKS_STATIC say which
# static links the toolchain makes (tests/link_kinds.cmake builds the others it can).
#
# A plain static program registers its unwind tables with crtbeginT.o as one list that ends at
# crtend.o's terminator. With link-time optimisation, archive members that the optimised code
# newly calls are loaded after crtend.o (libm's fesetenv, for the game on x86-64): the linker
# drops the terminator in the middle, the list runs on into the next section, and the first
# exception crashes. Whether it happens depends on the whole program and the C library (today's
# game escapes it on aarch64, i686 and s390x), and small programs do not show it, so no probe
# rules it out: a plain static build goes without link-time optimisation. static-pie finds its
# tables through PT_GNU_EH_FRAME instead, as a dynamic program does, and keeps it.
option(KVIZ_STATIC "Link the game statically, as the toolchain allows" ON)

unset(Why)
set(KVIZ_LINK dynamic)
set(KVIZ_GAME_LINK_OPTIONS "")
if(WIN32)
  return() # the MinGW toolchain file links every program statically
endif()
if(NOT KVIZ_SANITIZE)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_QUIET ON)
  foreach(Kind STATIC_PIE STATIC)
    string(TOLOWER "-${Kind}" CMAKE_REQUIRED_LINK_OPTIONS)
    string(REPLACE "_" "-" CMAKE_REQUIRED_LINK_OPTIONS ${CMAKE_REQUIRED_LINK_OPTIONS})
    check_cxx_source_compiles([=[
      #include <stdexcept>
      int main(int Count, char**) {
        try { if (Count > 0) throw std::runtime_error("linked"); } catch (...) { return 0; }
        return 1;
      }]=] KVIZ_LINKS_${Kind})
  endforeach()
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  unset(CMAKE_REQUIRED_QUIET)
endif()

if(KVIZ_SANITIZE)
  set(Why "the sanitizers' runtimes are shared libraries")
elseif(NOT KVIZ_STATIC)
  set(Why "KVIZ_STATIC is OFF")
elseif(KVIZ_LINKS_STATIC_PIE)
  set(KVIZ_LINK static-pie)
elseif(CMAKE_INTERPROCEDURAL_OPTIMIZATION)
  set(Why "static-pie does not link here, and plain static goes without link-time optimisation")
elseif(KVIZ_LINKS_STATIC)
  set(KVIZ_LINK static)
  set(Why "static-pie does not link here; without link-time optimisation")
else()
  set(Why "neither static-pie nor static links here")
endif()
if(NOT KVIZ_LINK STREQUAL "dynamic")
  set(KVIZ_GAME_LINK_OPTIONS -${KVIZ_LINK})
endif()
if(DEFINED Why)
  message(STATUS "The game links ${KVIZ_LINK} (${Why})")
else()
  message(STATUS "The game links ${KVIZ_LINK}")
endif()
unset(Why)
