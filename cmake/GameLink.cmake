# How the game links (KVIZ_LINK, one of KVIZ_LINK_KINDS) and whether the build is optimised at
# link time (CMAKE_INTERPROCEDURAL_OPTIMIZATION): decided here together, since the one limits
# the other; and the flags of a dynamic game, which Debian packages. KVIZ_GAME_LINK_OPTIONS are
# the options of the game and of the programs that stand in for it in tests and benchmarks;
# KVIZ_LINKABLE_KINDS are the kinds the toolchain links (tests/link_kinds.cmake builds the game
# in each).
#
# static-pie where the toolchain links it, else static, else dynamic; dynamic with
# -DKVIZ_STATIC=OFF and in a sanitizer build, whose runtimes are shared libraries. A Windows
# program is always static (cmake/MinGW.cmake), and so is a WebAssembly module, which holds the
# whole program.
#
# A plain static program registers its unwind tables with crtbeginT.o as one list that ends at
# crtend.o's terminator. With link-time optimisation, archive members that the optimised code
# newly calls are loaded after crtend.o (libm's fesetenv, for the game on x86-64): the linker
# drops the terminator in the middle, the list runs on into the next section, and the first
# exception crashes. Whether it happens depends on the whole program and the C library (today's
# game escapes it on aarch64, i686 and s390x), and small programs do not show it, so no probe
# rules it out: a plain static Linux build goes without link-time optimisation. static-pie finds
# its tables through PT_GNU_EH_FRAME instead, as a dynamic program does, and keeps it.
#
# A dynamic game is the one Debian packages: it takes the hardening flags of Debian's own
# packages from dpkg-buildflags (Debian package dpkg-dev), where that is installed, asked for the
# target's Debian architecture (KVIZ_DEBIAN_ARCHITECTURE, also the package's), since they differ
# by processor (Debian 13 gives x86 -fcf-protection and arm64 -mbranch-protection).
option(KVIZ_STATIC "Link the game statically, as the toolchain allows" ON)

# Most preferred first. A kind's link option is its name after a dash; dynamic needs none.
set(KVIZ_LINK_KINDS static-pie static dynamic)
function(kviz_link_options Kind Variable)
  set(Options "")
  if(NOT Kind STREQUAL "dynamic")
    set(Options -${Kind})
  endif()
  set(${Variable} ${Options} PARENT_SCOPE)
endfunction()

set(KVIZ_LINKABLE_KINDS dynamic)
if(NOT WIN32 AND NOT EMSCRIPTEN AND NOT KVIZ_SANITIZE)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_QUIET ON)
  foreach(Kind static-pie static)
    # A probe that throws, so that the link's unwinding is there too.
    kviz_link_options(${Kind} CMAKE_REQUIRED_LINK_OPTIONS)
    string(MAKE_C_IDENTIFIER "KVIZ_LINKS_${Kind}" Result)
    check_cxx_source_compiles([=[
      #include <stdexcept>
      int main(int Count, char**) {
        try { if (Count > 0) throw std::runtime_error("linked"); } catch (...) { return 0; }
        return 1;
      }]=] ${Result})
    if(${Result})
      list(APPEND KVIZ_LINKABLE_KINDS ${Kind})
    endif()
  endforeach()
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  unset(CMAKE_REQUIRED_QUIET)
endif()

set(Why "")
if(WIN32 OR EMSCRIPTEN)
  set(KVIZ_LINK static)
  set(KVIZ_LINKABLE_KINDS static)
elseif(KVIZ_SANITIZE)
  set(KVIZ_LINK dynamic)
  set(Why "the sanitizers' runtimes are shared libraries")
elseif(NOT KVIZ_STATIC)
  set(KVIZ_LINK dynamic)
  set(Why "KVIZ_STATIC is OFF")
elseif(static-pie IN_LIST KVIZ_LINKABLE_KINDS)
  set(KVIZ_LINK static-pie)
elseif(CMAKE_INTERPROCEDURAL_OPTIMIZATION)
  set(KVIZ_LINK dynamic)
  set(Why "static-pie does not link here, and plain static goes without link-time optimisation")
elseif(static IN_LIST KVIZ_LINKABLE_KINDS)
  set(KVIZ_LINK static)
  set(Why "static-pie does not link here, and so without link-time optimisation")
else()
  set(KVIZ_LINK dynamic)
  set(Why "neither static-pie nor static links here")
endif()
kviz_link_options(${KVIZ_LINK} KVIZ_GAME_LINK_OPTIONS)

# Link-time optimisation builds the runtime's usual cases into the callers in the quiz, which
# see the stream record only as an incomplete type. Not with the sanitizers or fuzzing, nor for
# a plain static Linux game (above); for WebAssembly binaryen optimises the whole module anyway.
if(NOT DEFINED CMAKE_INTERPROCEDURAL_OPTIMIZATION)
  set(CMAKE_INTERPROCEDURAL_OPTIMIZATION OFF)
  if(NOT KVIZ_SANITIZE AND NOT KVIZ_FUZZ AND NOT EMSCRIPTEN
     AND (WIN32 OR NOT KVIZ_LINK STREQUAL "static"))
    include(CheckIPOSupported)
    check_ipo_supported(RESULT KVIZ_IPO LANGUAGES CXX)
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ${KVIZ_IPO})
  endif()
endif()

# A Linux cross build's Debian architecture, named for its processor; a native build's is the
# build machine's, which dpkg-buildflags and cpack know themselves. The 32-bit ARM toolchain
# files name the processor by the baseline of Debian's architecture (armhf's compiler builds for
# ARMv7, armel's for ARMv5TE), since both would otherwise say arm.
set(KvizHostArchitecture "")
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(Known aarch64=arm64 armv5te=armel armv7=armhf i386=i386 i686=i386 ppc64le=ppc64el
      riscv64=riscv64 s390x=s390x x86_64=amd64)
  list(FILTER Known INCLUDE REGEX "^${CMAKE_SYSTEM_PROCESSOR}=")
  if(NOT Known)
    message(FATAL_ERROR "No Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  string(REGEX REPLACE ".*=" "" KVIZ_DEBIAN_ARCHITECTURE "${Known}")
  set(KvizHostArchitecture DEB_HOST_ARCH=${KVIZ_DEBIAN_ARCHITECTURE})
  unset(Known)
endif()

if(KVIZ_LINK STREQUAL "dynamic" AND NOT KVIZ_SANITIZE)
  find_program(KVIZ_DPKG_BUILDFLAGS dpkg-buildflags)
  mark_as_advanced(KVIZ_DPKG_BUILDFLAGS)
  if(KVIZ_DPKG_BUILDFLAGS)
    foreach(Kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${KvizHostArchitecture}
                              ${KVIZ_DPKG_BUILDFLAGS} --get ${Kind}
                      OUTPUT_VARIABLE Flags OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(Flags UNIX_COMMAND "${Flags}")
      # The build type chooses the optimisation and the debug information, and
      # Reproducible.cmake maps the paths.
      list(FILTER Flags EXCLUDE REGEX "^-(g|O.?|ffile-prefix-map=.*)$")
      if(Kind STREQUAL "LDFLAGS")
        add_link_options(${Flags})
      else()
        add_compile_options(${Flags})
      endif()
    endforeach()
    list(APPEND Why "with Debian's hardening flags")
  endif()
endif()

list(JOIN Why "; " Why)
if(CMAKE_INTERPROCEDURAL_OPTIMIZATION)
  set(Optimised ", optimised at link time")
endif()
if(Why)
  message(STATUS "The game links ${KVIZ_LINK}${Optimised} (${Why})")
else()
  message(STATUS "The game links ${KVIZ_LINK}${Optimised}")
endif()
unset(Why)
unset(Optimised)
