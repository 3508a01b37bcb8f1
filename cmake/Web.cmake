# The page (web/): index.html and its console over xterm.js, with the game's module, assembled
# in web/ of the build folder with what it takes from npm, as its zip (kviz-<version>-web.zip,
# made by cpack -G ZIP through cmake/Packaging.cmake) holds it. Included from cmake/Wasm.cmake.

find_program(KVIZ_NPM npm)
mark_as_advanced(KVIZ_NPM)
if(NOT KVIZ_NPM)
  message(STATUS "Left out: the page (npm, which installs its terminal, xterm.js, not found: "
                 "the Debian package npm brings it, as do nodejs builds that bundle it)")
  return()
endif()

set(KvizWeb ${PROJECT_SOURCE_DIR}/web)
set(KvizWebBuilt ${PROJECT_BINARY_DIR}/web)
set(KvizNpm ${PROJECT_BINARY_DIR}/npm)

# npm ci installs exactly what web/package-lock.json pins, in the build folder, not in the
# sources. It keeps the files' dates from the packages (all in 1985), hence the stamp.
add_custom_command(OUTPUT ${KvizNpm}/installed
  COMMAND ${CMAKE_COMMAND} -E copy ${KvizWeb}/package.json ${KvizWeb}/package-lock.json ${KvizNpm}
  COMMAND ${KVIZ_NPM} ci --ignore-scripts --no-audit --no-fund --loglevel=error
  COMMAND ${CMAKE_COMMAND} -E touch ${KvizNpm}/installed
  WORKING_DIRECTORY ${KvizNpm}
  DEPENDS ${KvizWeb}/package.json ${KvizWeb}/package-lock.json
  COMMENT "Installing xterm.js for the page with npm ci")
file(MAKE_DIRECTORY ${KvizNpm})

set(KvizXterm ${KvizNpm}/node_modules/@xterm)
set(KvizWebFiles index.html console.js kviz.js xterm.js xterm.css addon-fit.js
                  LICENSE-xterm.txt LICENSE-xterm-addon-fit.txt)
list(TRANSFORM KvizWebFiles PREPEND ${KvizWebBuilt}/)
add_custom_command(OUTPUT ${KvizWebFiles}
  COMMAND ${CMAKE_COMMAND} -E copy ${KvizWeb}/index.html ${KvizWeb}/console.js
          ${KvizXterm}/xterm/lib/xterm.js ${KvizXterm}/xterm/css/xterm.css
          ${KvizXterm}/addon-fit/lib/addon-fit.js ${KvizWebBuilt}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kviz_web> ${KvizWebBuilt}/kviz.js
  COMMAND ${CMAKE_COMMAND} -E copy ${KvizXterm}/xterm/LICENSE ${KvizWebBuilt}/LICENSE-xterm.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${KvizXterm}/addon-fit/LICENSE
          ${KvizWebBuilt}/LICENSE-xterm-addon-fit.txt
  DEPENDS ${KvizWeb}/index.html ${KvizWeb}/console.js kviz_web ${KvizNpm}/installed
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

The terminal is xterm.js, under the MIT licence: see LICENSE-xterm.txt and
LICENSE-xterm-addon-fit.txt.
]=])

install(DIRECTORY ${KvizWebBuilt}/ DESTINATION .)
set(CPACK_PACKAGE_FILE_NAME kviz-${PROJECT_VERSION}-web)
