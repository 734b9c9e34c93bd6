# Common compile options for every target of the project.
#
# Frame pointers are kept everywhere: the run-time error report walks the
# chain of saved frame links, and it must find one in every routine (and no
# routine may vanish from the chain by a tail call).
option(GRAIN_WERROR "Treat warnings as errors" ON)

add_library(grain_options INTERFACE)
target_compile_options(grain_options INTERFACE
  -Wall -Wextra -Wshadow
  $<$<BOOL:${GRAIN_WERROR}>:-Werror>
  -fno-omit-frame-pointer -mno-omit-leaf-frame-pointer -fno-optimize-sibling-calls)
target_include_directories(grain_options INTERFACE ${PROJECT_SOURCE_DIR})
