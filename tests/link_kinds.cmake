# The game linked in each of the ways a build may link it (static position-independent, static,
# dynamic), and the end-to-end check that a report names the program's file and an offset in
# the routine whose statement failed. The sanitizers allow only the dynamic link.
set(KVIZ_LINKED_GAMES $<TARGET_FILE:kviz>)
if(NOT KVIZ_SANITIZE)
  foreach(Kind static_pie static dynamic)
    set(Options "")
    if(Kind STREQUAL "static_pie")
      set(Options -static-pie)
    elseif(Kind STREQUAL "static")
      set(Options -static)
    endif()
    if("${Options}" STREQUAL "${KVIZ_GAME_LINK_OPTIONS}")
      continue() # the game itself
    endif()
    add_executable(kviz_${Kind} ${PROJECT_SOURCE_DIR}/src/quiz/main.cpp)
    target_link_libraries(kviz_${Kind} PRIVATE kviz_quiz)
    target_link_options(kviz_${Kind} PRIVATE ${Options})
    list(APPEND KVIZ_LINKED_GAMES $<TARGET_FILE:kviz_${Kind}>)
  endforeach()
  # A plain static program registers its unwind tables, and link-time optimisation places
  # tables behind the end of that list: this one is built from sources compiled without it.
  if(TARGET kviz_static AND CMAKE_INTERPROCEDURAL_OPTIMIZATION)
    get_target_property(Console kviz_console SOURCES)
    get_target_property(Quiz kviz_quiz SOURCES)
    list(TRANSFORM Console PREPEND ${PROJECT_SOURCE_DIR}/)
    list(TRANSFORM Quiz PREPEND ${PROJECT_SOURCE_DIR}/)
    set_target_properties(kviz_static PROPERTIES INTERPROCEDURAL_OPTIMIZATION OFF LINK_LIBRARIES "")
    target_sources(kviz_static PRIVATE ${Console} ${Quiz})
    target_include_directories(kviz_static PRIVATE ${PROJECT_SOURCE_DIR}/src)
  endif()
endif()

find_program(KVIZ_PYTEST NAMES pytest-3 pytest)
if(KVIZ_PYTEST)
  string(REPLACE ";" ":" KVIZ_LINKED_GAMES "${KVIZ_LINKED_GAMES}")
  add_test(NAME e2e_link_kinds COMMAND ${KVIZ_PYTEST} -q -p no:cacheprovider test_link_kinds.py
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/e2e)
  set_tests_properties(e2e_link_kinds PROPERTIES TIMEOUT 60 ENVIRONMENT
    "KVIZ_LINKED_GAMES=${KVIZ_LINKED_GAMES};PYTHONDONTWRITEBYTECODE=1")
else()
  message(STATUS "pytest not found (Debian package python3-pytest): e2e_link_kinds is not run")
endif()
