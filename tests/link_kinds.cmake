# The game linked in each of the ways a build may link it (static, static position-independent,
# dynamic), and the end-to-end check that a report names the program's file and an offset in
# the routine whose statement failed. The sanitizers allow only the dynamic link.
set(KVIZ_LINKED_GAMES $<TARGET_FILE:kviz>)
if(NOT KVIZ_SANITIZE)
  foreach(Kind static static_pie dynamic)
    set(Options "")
    if(Kind STREQUAL "static")
      set(Options -static)
    elseif(Kind STREQUAL "static_pie")
      set(Options -static-pie)
    endif()
    if("${Options}" STREQUAL "${KVIZ_GAME_LINK_OPTIONS}")
      continue() # the game itself
    endif()
    add_executable(kviz_${Kind} ${PROJECT_SOURCE_DIR}/src/quiz/main.cpp)
    target_link_libraries(kviz_${Kind} PRIVATE kviz_quiz)
    target_link_options(kviz_${Kind} PRIVATE ${Options})
    list(APPEND KVIZ_LINKED_GAMES $<TARGET_FILE:kviz_${Kind}>)
  endforeach()
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
