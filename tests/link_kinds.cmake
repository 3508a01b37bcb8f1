# The game linked in each of the ways a build may link it (static position-independent, static,
# dynamic), for the end-to-end check that a report names the program's file and an offset in
# the routine whose statement failed (KVIZ_LINKED_GAMES, separated by colons): those the
# toolchain links (cmake/GameLink.cmake). The sanitizers allow only the dynamic link.
set(KVIZ_LINKED_GAMES $<TARGET_FILE:kviz>)
if(NOT KVIZ_SANITIZE)
  foreach(Kind static_pie static dynamic)
    set(Options "")
    if(Kind STREQUAL "static_pie")
      set(Options -static-pie)
    elseif(Kind STREQUAL "static")
      set(Options -static)
    endif()
    string(TOUPPER ${Kind} Links)
    if("${Options}" STREQUAL "${KVIZ_GAME_LINK_OPTIONS}")
      continue() # the game itself
    elseif(Options AND NOT KVIZ_LINKS_${Links})
      continue()
    endif()
    add_executable(kviz_${Kind} ${PROJECT_SOURCE_DIR}/src/quiz/main.cpp)
    target_link_libraries(kviz_${Kind} PRIVATE kviz_quiz)
    target_link_options(kviz_${Kind} PRIVATE ${Options})
    list(APPEND KVIZ_LINKED_GAMES $<TARGET_FILE:kviz_${Kind}>)
  endforeach()
  # A plain static program registers its unwind tables, and link-time optimisation places
  # tables behind the end of that list (cmake/GameLink.cmake): this one is built from sources
  # compiled without it.
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

string(REPLACE ";" ":" KVIZ_LINKED_GAMES "${KVIZ_LINKED_GAMES}")
