# The browser build with Debian's emscripten (cmake --preset web, into
# build-web/; scripts/test-web). ctest runs the unit suites under node.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# emcc is a node program that needs Debian's node modules (acorn among
# them); a node from another repository does not search /usr/share/nodejs.
set(GRAIN_EMCC_ENV env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER ${GRAIN_EMCC_ENV})
set(CMAKE_C_COMPILER_LAUNCHER ${GRAIN_EMCC_ENV})
set(CMAKE_CXX_LINKER_LAUNCHER ${GRAIN_EMCC_ENV})
set(CMAKE_C_LINKER_LAUNCHER ${GRAIN_EMCC_ENV})

# Node 18 and later would fetch the .wasm as a URL: compile it in place.
find_program(GRAIN_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${GRAIN_NODE})
