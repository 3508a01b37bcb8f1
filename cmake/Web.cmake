# The page (web/): index.html, with what kviz is and how to play it (doc/how-to-play.txt), and
# its console, with the game's module, assembled in web/ of the build folder as its zip
# (kviz-<version>-web.zip, made by cpack -G ZIP) holds it. Included from cmake/Packaging.cmake.

set(KvizWeb ${PROJECT_SOURCE_DIR}/web)
set(KvizWebBuilt ${PROJECT_BINARY_DIR}/web)

# The page's text in paragraphs of HTML, in the language of the text.
KvizHowToPlay(KvizHowToPlay)
string(REPLACE "&" "&amp;" KvizHowToPlayHtml "${KvizHowToPlay}")
string(REPLACE "<" "&lt;" KvizHowToPlayHtml "${KvizHowToPlayHtml}")
string(STRIP "${KvizHowToPlayHtml}" KvizHowToPlayHtml)
string(REPLACE "\n\n" "</p>\n<p lang=\"en\">" KvizHowToPlayHtml "${KvizHowToPlayHtml}")
set(KvizHowToPlayHtml "<p lang=\"en\">${KvizHowToPlayHtml}</p>")
configure_file(${KvizWeb}/index.html ${KvizWebBuilt}/index.html @ONLY)

set(KvizWebFiles index.html console.js kviz.js)
list(TRANSFORM KvizWebFiles PREPEND ${KvizWebBuilt}/)
add_custom_command(OUTPUT ${KvizWebBuilt}/console.js ${KvizWebBuilt}/kviz.js
  COMMAND ${CMAKE_COMMAND} -E copy ${KvizWeb}/console.js ${KvizWebBuilt}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kviz_web> ${KvizWebBuilt}/kviz.js
  DEPENDS ${KvizWeb}/console.js kviz_web
  COMMENT "Assembling the page in web/")
add_custom_target(kviz_page ALL DEPENDS ${KvizWebFiles})

KvizReadme(${KvizWebBuilt}/README.txt [=[
kviz @PROJECT_VERSION@ in a web browser

@KvizHowToPlay@
To play, open index.html in a web browser (double-click it): it needs no
network and no server, and plays from this folder as it is. Put on any web
server, the folder plays there too. When a game has ended, Enter starts a new
one; Ctrl+C ends a game at once.
]=])

set(KVIZ_PACKAGED ${KvizWebFiles})
install(FILES ${KvizWebFiles} ${KvizWebBuilt}/README.txt DESTINATION .)
set(CPACK_PACKAGE_FILE_NAME kviz-${PROJECT_VERSION}-web)
