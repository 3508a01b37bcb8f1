# Cross-compiles kviz to WebAssembly with Debian's emscripten (package emscripten): console
# programs that node runs (`node kviz.js`), node being the emulator of the build's programs. The
# page's module comes from the same build. See cmake/Wasm.cmake for how the programs link.

# emcc's JavaScript optimiser, which the link runs with the node of emscripten's configuration,
# needs acorn. A node other than Debian's own (nodesource's, say) does not look where Debian's
# node-acorn puts it, so the link names that folder.
find_path(KVIZ_NODE_MODULES acorn/package.json PATHS /usr/share/nodejs /usr/lib/nodejs
          NO_DEFAULT_PATH)
mark_as_advanced(KVIZ_NODE_MODULES)
if(KVIZ_NODE_MODULES)
  set(KvizNodePath ${KVIZ_NODE_MODULES})
  if(DEFINED ENV{NODE_PATH})
    string(PREPEND KvizNodePath "$ENV{NODE_PATH}:")
  endif()
  set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=${KvizNodePath})
  unset(KvizNodePath)
endif()

# What runs the target's programs, for ctest and whatever else runs them. Set before emscripten's
# own file, which would otherwise choose one of its own.
find_program(KVIZ_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KVIZ_NODE})

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
