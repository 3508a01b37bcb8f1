# The page (web/): index.html and its console, with the game's module, assembled in web/ of the
# build folder as its zip (kviz-<version>-web.zip, made by cpack -G ZIP through
# cmake/Packaging.cmake) holds it. Included from cmake/Wasm.cmake.

set(KvizWeb ${PROJECT_SOURCE_DIR}/web)
set(KvizWebBuilt ${PROJECT_BINARY_DIR}/web)

set(KvizWebFiles index.html console.js kviz.js)
list(TRANSFORM KvizWebFiles PREPEND ${KvizWebBuilt}/)
add_custom_command(OUTPUT ${KvizWebFiles}
  COMMAND ${CMAKE_COMMAND} -E copy ${KvizWeb}/index.html ${KvizWeb}/console.js ${KvizWebBuilt}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kviz_web> ${KvizWebBuilt}/kviz.js
  DEPENDS ${KvizWeb}/index.html ${KvizWeb}/console.js kviz_web
  COMMENT "Assembling the page in web/")
add_custom_target(kviz_page ALL DEPENDS ${KvizWebFiles})

# The zip's README.txt, with CR LF as the Windows zips' is: the zip is for any computer.
file(CONFIGURE OUTPUT ${KvizWebBuilt}/README.txt NEWLINE_STYLE CRLF @ONLY CONTENT [=[
kviz @PROJECT_VERSION@ in a web browser

kviz is a one-player console quiz: it asks programming questions (in a South
Slavic language, plain ASCII) drawn at random, with repetition, from a bank of
twelve. This page plays it in a terminal.

Open index.html in a web browser (double-click it): it needs no network and no
server, and plays from this folder as it is. Put on any web server, the folder
plays there too.

Type each answer and press Enter. The answer must match exactly ("paskal", not
"Paskal" or "paskal "; "1", not "1."). A correct answer prints "Tacan odgovor."
and the game waits for Enter before the next question. The first wrong answer
shows the right one and the count of wrong answers; press Enter to see the count
of correct answers, and Enter once more to end the game. Enter then starts a new
one; Ctrl+C ends a game at once.
]=])

set(KVIZ_PACKAGED ${KvizWebFiles})
install(FILES ${KvizWebFiles} ${KvizWebBuilt}/README.txt DESTINATION .)
set(CPACK_PACKAGE_FILE_NAME kviz-${PROJECT_VERSION}-web)
