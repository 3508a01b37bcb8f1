# What `cmake --install` puts where, and the packages cpack makes from it: a Debian package
# (cpack -G DEB) on Linux, a zip with kviz.exe and README.txt in the Windows cross build, the
# page's zip (its files installed by cmake/Web.cmake) in the WebAssembly build.
# Every generated file is made at configure time, so an install needs no other build step.

# Packaging takes what is built and builds nothing more: after a build of the game alone, cpack
# must not first build every test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(KVIZ_MAINTAINER "kviz maintainers <kviz@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
# Dates from SOURCE_DATE_EPOCH (see Reproducible.cmake), so that packages repeat byte for byte.
string(TIMESTAMP KVIZ_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(KVIZ_GENERATED ${PROJECT_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${KVIZ_GENERATED})

# What kviz is and how to play it, for the zips' README.txt and the page: doc/how-to-play.txt.
function(KvizHowToPlay Variable)
  set(Text ${PROJECT_SOURCE_DIR}/doc/how-to-play.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${Text})
  file(READ ${Text} Content)
  set(${Variable} "${Content}" PARENT_SCOPE)
endfunction()

# Writes a zip's README.txt from Template, with @KvizHowToPlay@ among its variables, in CR LF:
# the zips are for any computer.
function(KvizReadme Output Template)
  KvizHowToPlay(KvizHowToPlay)
  string(CONFIGURE "${Template}" Text @ONLY)
  file(CONFIGURE OUTPUT ${Output} CONTENT "${Text}" NEWLINE_STYLE CRLF @ONLY)
endfunction()

set(CPACK_PACKAGE_NAME kviz)
set(CPACK_PACKAGE_CONTACT "${KVIZ_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console quiz of twelve programming questions")
set(CPACK_PACKAGE_DESCRIPTION [=[
kviz asks programming questions, in a South Slavic language written in plain
ASCII, drawn at random with repetition from a bank of twelve: data types,
integer division, the square-root routine, compilation, procedures and
functions. The answer is typed and must match exactly.

The game ends at the first wrong answer and shows the accepted answer and the
counts of wrong and correct answers. It keeps no files or settings.]=])
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The WebAssembly build's package is the page's.
if(EMSCRIPTEN)
  include(cmake/Web.cmake)
endif()

# What a package is made of must be built first: cpack builds nothing (above). The page's files
# where cmake/Web.cmake names them, else the game.
if(NOT KVIZ_PACKAGED)
  set(KVIZ_PACKAGED ${PROJECT_BINARY_DIR}/kviz${CMAKE_EXECUTABLE_SUFFIX})
endif()

# Read by cpack when it starts: no package without what it is made of; the dates in the archives
# and the stripped programs are the commit's, and Depends cannot be left out for want of the
# tools that compute it. A Debian package takes the game linked dynamically, so that a security
# update of the C library reaches it.
file(CONFIGURE OUTPUT ${KVIZ_GENERATED}/cpack-options.cmake @ONLY CONTENT [=[
foreach(Built IN ITEMS @KVIZ_PACKAGED@)
  if(NOT EXISTS "${Built}")
    message(FATAL_ERROR "${Built} is not built: build @PROJECT_BINARY_DIR@ first")
  endif()
endforeach()
set(ENV{SOURCE_DATE_EPOCH} "@KVIZ_SOURCE_DATE_EPOCH@")
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT "@KVIZ_LINK@" STREQUAL "dynamic")
  message(FATAL_ERROR "A Debian package takes the game linked dynamically: configure a build "
                      "folder of its own with -DKVIZ_STATIC=OFF")
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(KVIZ_SHLIBDEPS dpkg-shlibdeps)
  find_program(KVIZ_FILE file)
  if(NOT KVIZ_SHLIBDEPS OR NOT KVIZ_FILE)
    message(FATAL_ERROR "The game is linked dynamically; its Depends need dpkg-shlibdeps and "
                        "file (Debian packages dpkg-dev and file)")
  endif()
endif()
]=])
set(CPACK_PROJECT_CONFIG_FILE ${KVIZ_GENERATED}/cpack-options.cmake)

if(WIN32)
  # A 32-bit program runs on every Windows, a 64-bit one on 64-bit Windows only.
  set(KVIZ_WINDOWS_BITS 32)
  set(KVIZ_RUNS_ON "Windows")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KVIZ_WINDOWS_BITS 64)
    set(KVIZ_RUNS_ON "64-bit Windows")
  endif()
  install(TARGETS kviz RUNTIME DESTINATION .)
  KvizReadme(${KVIZ_GENERATED}/README.txt [=[
kviz @PROJECT_VERSION@ for @KVIZ_RUNS_ON@

@KvizHowToPlay@
To play, open a console window (Command Prompt) in this folder and type

    kviz.exe

or double-click kviz.exe. It needs only what comes with Windows: copy it
anywhere. It keeps no files or settings. If the console fails, the game stops
with a three-line report and exit status 1.
]=])
  install(FILES ${KVIZ_GENERATED}/README.txt DESTINATION .)
  set(CPACK_PACKAGE_FILE_NAME kviz-${PROJECT_VERSION}-win${KVIZ_WINDOWS_BITS})
endif()
if(WIN32 OR EMSCRIPTEN)
  set(CPACK_GENERATOR ZIP)
  # cpack's zip writer stores the staged files' access and change times: the zip is written
  # anew with the commit's time. Only cpack needs python3 for it, not the build.
  find_program(KVIZ_PYTHON3 python3)
  mark_as_advanced(KVIZ_PYTHON3)
  file(CONFIGURE OUTPUT ${KVIZ_GENERATED}/cpack-zip.cmake @ONLY CONTENT [=[
if("@KVIZ_PYTHON3@" MATCHES "NOTFOUND$")
  message(FATAL_ERROR "python3 not found: it rewrites the zip so that builds repeat")
endif()
foreach(Zip IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND "@KVIZ_PYTHON3@" "@PROJECT_SOURCE_DIR@/cmake/zip-normalize.py"
                          ${Zip} @KVIZ_SOURCE_DATE_EPOCH@ COMMAND_ERROR_IS_FATAL ANY)
endforeach()
]=])
  set(CPACK_POST_BUILD_SCRIPTS ${KVIZ_GENERATED}/cpack-zip.cmake)
  include(CPack)
  return()
endif()

# Debian's place for games; /usr/local/games when installed by hand.
set(KVIZ_GAMESDIR games CACHE STRING "Where the game goes, under the install prefix")
install(TARGETS kviz RUNTIME DESTINATION ${KVIZ_GAMESDIR})

# Manual page and changelog go compressed, without a name or time stamp in the gzip header.
find_program(KVIZ_GZIP gzip REQUIRED)
mark_as_advanced(KVIZ_GZIP)
function(KvizGzip Source Target)
  execute_process(COMMAND ${KVIZ_GZIP} -9 -n -c ${Source} OUTPUT_FILE ${Target}
                  RESULT_VARIABLE Status)
  if(NOT Status EQUAL 0)
    message(FATAL_ERROR "gzip ${Source}: ${Status}")
  endif()
endfunction()

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/kviz.6)
KvizGzip(${PROJECT_SOURCE_DIR}/man/kviz.6 ${KVIZ_GENERATED}/kviz.6.gz)
install(FILES ${KVIZ_GENERATED}/kviz.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

file(CONFIGURE OUTPUT ${KVIZ_GENERATED}/changelog @ONLY CONTENT [=[
kviz (@PROJECT_VERSION@) unstable; urgency=medium

  * First packaged release: the console quiz of twelve programming questions.

 -- @KVIZ_MAINTAINER@  @KVIZ_RELEASE_DATE@
]=])
KvizGzip(${KVIZ_GENERATED}/changelog ${KVIZ_GENERATED}/changelog.gz)
# The copyright file in Debian's machine-readable form.
file(CONFIGURE OUTPUT ${KVIZ_GENERATED}/copyright @ONLY CONTENT [=[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: kviz

Files: *
Copyright: 2026 kviz maintainers
License: all-rights-reserved
 No licence has been chosen yet: the copyright holders keep all rights.
]=])
install(FILES ${KVIZ_GENERATED}/changelog.gz ${KVIZ_GENERATED}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The game is built with Debian's hardening flags (cmake/GameLink.cmake), fortification
# included; lintian finds no fortified call in it because the compiler checked every call it
# could at compile time, and the others take buffers whose size it cannot know.
file(CONFIGURE OUTPUT ${KVIZ_GENERATED}/lintian-overrides CONTENT [=[
kviz: hardening-no-fortify-functions [usr/games/kviz]
]=])
install(FILES ${KVIZ_GENERATED}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kviz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
if(KVIZ_LINK STREQUAL "dynamic")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# A cross build's package is for its target (cmake/GameLink.cmake names its architecture).
if(KVIZ_DEBIAN_ARCHITECTURE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KVIZ_DEBIAN_ARCHITECTURE})
endif()

include(CPack)
