# The same commit gives the same bytes: neither the folder nor the time of a build shows in the
# programs, the manual page or the packages.

# Every date in the output is the last commit's, or SOURCE_DATE_EPOCH when the caller sets one.
# git is trusted with the project's own folder alone, whoever owns it; where git still cannot
# read it, the top-level CMakeLists.txt's modification time stands in. Configuring says which.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KVIZ_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  set(Source "SOURCE_DATE_EPOCH")
else()
  find_program(KVIZ_GIT git)
  mark_as_advanced(KVIZ_GIT)
  set(KVIZ_SOURCE_DATE_EPOCH "")
  if(KVIZ_GIT)
    execute_process(COMMAND ${KVIZ_GIT} -c safe.directory=${PROJECT_SOURCE_DIR} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE KVIZ_SOURCE_DATE_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  set(Source "the last commit")
  if(NOT KVIZ_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt KVIZ_SOURCE_DATE_EPOCH "%s" UTC)
    set(Source "CMakeLists.txt's modification time (git cannot read this tree)")
  endif()
  # string(TIMESTAMP) and the archive writers of CPack read it from the environment.
  set(ENV{SOURCE_DATE_EPOCH} "${KVIZ_SOURCE_DATE_EPOCH}")
endif()
message(STATUS "Build date: ${KVIZ_SOURCE_DATE_EPOCH}, from ${Source}")
unset(Source)

# Paths in debug information and assertion texts are relative to the top of the source tree,
# where a debugger finds the sources, wherever the source and build trees lie. The build tree's
# map comes last: when it sits inside the source tree, the longer, later map is the one both
# compilers apply. g++ compiles again at the link with link-time optimisation, in the build
# tree, so the link gets the maps too.
set(KVIZ_PREFIX_MAPS -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                     -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
add_compile_options(${KVIZ_PREFIX_MAPS})
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_link_options(${KVIZ_PREFIX_MAPS})
endif()
# The PE header's link time.
if(MINGW)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
