# The game linked in each of the ways a build may link it (cmake/GameLink.cmake), for the
# end-to-end check that a report names the program's file and an offset in the routine whose
# statement failed: KVIZ_LINKED_GAMES, the game's path in each kind the toolchain links,
# separated by colons.
set(KVIZ_LINKED_GAMES $<TARGET_FILE:kviz>)
foreach(Kind IN LISTS KVIZ_LINKABLE_KINDS)
  if(Kind STREQUAL KVIZ_LINK)
    continue() # the game itself
  endif()
  string(MAKE_C_IDENTIFIER "kviz_${Kind}" Game)
  kviz_link_options(${Kind} Options)
  add_executable(${Game} ${PROJECT_SOURCE_DIR}/src/quiz/main.cpp)
  target_link_options(${Game} PRIVATE ${Options})
  if(Kind STREQUAL "static" AND CMAKE_INTERPROCEDURAL_OPTIMIZATION)
    # Plain static goes without link-time optimisation (cmake/GameLink.cmake says why): a copy
    # of the game's code compiled without it.
    kviz_add_runtime(${Game}_code QUIZ)
    set_target_properties(${Game} ${Game}_code PROPERTIES INTERPROCEDURAL_OPTIMIZATION OFF)
    target_link_libraries(${Game} PRIVATE ${Game}_code)
  else()
    target_link_libraries(${Game} PRIVATE kviz_quiz)
  endif()
  list(APPEND KVIZ_LINKED_GAMES $<TARGET_FILE:${Game}>)
endforeach()
string(REPLACE ";" ":" KVIZ_LINKED_GAMES "${KVIZ_LINKED_GAMES}")
