# How the programs link on WebAssembly (cmake/wasm32-unknown-emscripten.cmake): each one a factory
# of module instances that play over a console host that the caller hands in, as
# src/console/platform_wasm.js says; and the page's module (the page is cmake/Web.cmake's).

# A program is for node, with its module beside it, and runs itself over the process's
# descriptors; a target whose KVIZ_PAGE property is on is the page's module instead, one file
# that a page loads from file:// as well.
set(KvizConsole ${PROJECT_SOURCE_DIR}/src/console)
set(KvizPage $<BOOL:$<TARGET_PROPERTY:KVIZ_PAGE>>)

# The module has no DWARF but in a Debug build: it holds binaryen's optimiser back. The -g of
# RelWithDebInfo would bring it to the link as well, and from emcc 3.1.69 on no later -g0 takes it
# back there.
string(REGEX REPLACE "(^| )-g( |$)" " " CMAKE_CXX_FLAGS_RELWITHDEBINFO
       "${CMAKE_CXX_FLAGS_RELWITHDEBINFO}")

# C++ exceptions carry every fatal error to the top (top_level.cpp).
target_compile_options(kviz_console PUBLIC -fexceptions)
target_link_options(kviz_console INTERFACE
  -fexceptions
  # A 100 MiB answer is read whole; memory grows as far as WebAssembly lets it.
  -sALLOW_MEMORY_GROWTH=1
  # A read or write that must wait for the host suspends the program, which goes on once the
  # host is done (asyncify).
  -sASYNCIFY=1 "-sASYNCIFY_IMPORTS=['KvizHostRead','KvizHostWrite']"
  # The call stack's frames in linear memory lie above the globals: a function checks that its
  # frame fits before it takes it (platform_wasm.js ends the program as for a stack overflow).
  -sSTACK_OVERFLOW_CHECK=2
  -sMODULARIZE=1 -sEXPORT_NAME=Kviz
  # The platform runs main itself, with the host's arguments, and catches its traps: its library
  # and what that takes from emscripten's runtime.
  -sINVOKE_RUN=0
  "SHELL:--js-library ${KvizConsole}/platform_wasm.js"
  "-sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=['KvizStart']"
  "-sEXPORTED_RUNTIME_METHODS=['ccall','stackSave','stackRestore','stringToUTF8','lengthBytesUTF8']"
  # The runtime names a statement's caller by a routine's return address, so a routine that the
  # compiler keeps out of line must keep its own frame. Binaryen 108 ignores noinline and builds
  # every routine that has one caller into it; emcc hands this option to it as it is.
  -sBINARYEN_EXTRA_PASSES=--one-caller-inline-max-function-size=0
  # The module keeps its routines' names, for stack traces and wasm-objdump.
  --profiling-funcs
  # emcc 3.1.6's loader fetches a module beside it by URL, which fails under node 18 and 20;
  # compiled at once, it is read as a file.
  "$<IF:${KvizPage},-sENVIRONMENT=web,-sENVIRONMENT=node>"
  "$<IF:${KvizPage},-sSINGLE_FILE=1,-sWASM_ASYNC_COMPILATION=0>"
  "$<$<NOT:${KvizPage}>:SHELL:--extern-post-js ${KvizConsole}/platform_wasm_node.js>")
set_property(TARGET kviz_console APPEND PROPERTY INTERFACE_LINK_DEPENDS
             ${KvizConsole}/platform_wasm.js ${KvizConsole}/platform_wasm_node.js)

# The page's module: the game, for the page that is its console.
add_executable(kviz_web ${PROJECT_SOURCE_DIR}/src/quiz/main.cpp)
target_link_libraries(kviz_web PRIVATE kviz_quiz)
set_target_properties(kviz_web PROPERTIES KVIZ_PAGE ON)
