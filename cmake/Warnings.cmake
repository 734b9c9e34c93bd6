# Common compile options for every target of the project.
#
# Frame pointers are kept everywhere: the run-time error report walks the
# chain of saved frame links, and it must find one in every routine (and no
# routine may vanish from the chain by a tail call).
# Warnings are errors in the project's own test command and CI, which set
# GRAIN_WERROR=ON in the environment; not for everyone who builds it.
option(GRAIN_WERROR "Treat warnings as errors" OFF)
if(DEFINED ENV{GRAIN_WERROR})
  set(GRAIN_WERROR $ENV{GRAIN_WERROR} CACHE BOOL "Treat warnings as errors" FORCE)
endif()

add_library(grain_options INTERFACE)
target_compile_options(grain_options INTERFACE
  -Wall -Wextra -Wshadow
  $<$<BOOL:${GRAIN_WERROR}>:-Werror>
  -fno-omit-frame-pointer -fno-optimize-sibling-calls)
# Leaf routines too, where the compiler can be told (x86, 64-bit ARM); the
# others keep the frame pointer in leaves that need a frame at all.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-mno-omit-leaf-frame-pointer GRAIN_HAS_LEAF_FRAME_FLAG)
if(GRAIN_HAS_LEAF_FRAME_FLAG)
  target_compile_options(grain_options INTERFACE -mno-omit-leaf-frame-pointer)
endif()
target_include_directories(grain_options INTERFACE ${PROJECT_SOURCE_DIR})
# GCC 12 at -O3 reports -Wrestrict falsely inside the standard library for
# "literal" + std::string (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(grain_options INTERFACE -Wno-restrict)
endif()

# Sanitizer builds: GRAIN_SANITIZE is the list for -fsanitize=, e.g.
# "address,undefined" or "thread" (and "fuzzer-no-link" for fuzzing builds).
# Errors do not recover, so a test that meets one fails.
set(GRAIN_SANITIZE "" CACHE STRING "Sanitizers (-fsanitize=...): address,undefined | thread")
if(GRAIN_SANITIZE)
  target_compile_options(grain_options INTERFACE
    -fsanitize=${GRAIN_SANITIZE} -fno-sanitize-recover=all)
  target_link_options(grain_options INTERFACE -fsanitize=${GRAIN_SANITIZE})
  # GCC's flow analysis sees the instrumentation and warns falsely (here in
  # the standard library's <regex>).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(grain_options INTERFACE -Wno-maybe-uninitialized)
  endif()
endif()

# The hardening Debian builds its packages with, for all of the project's
# code: checked string and memory functions (_FORTIFY_SOURCE, which needs
# optimisation), stack protector, and relocations bound and made read-only
# at start-up (RELRO, BIND_NOW). Frame pointers stay (above). Not in
# sanitizer builds, whose own checks these would get in the way of, nor for
# Windows or the browser.
if(NOT WIN32 AND NOT EMSCRIPTEN AND NOT GRAIN_SANITIZE)
  target_compile_options(grain_options INTERFACE -fstack-protector-strong
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
  target_link_options(grain_options INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
