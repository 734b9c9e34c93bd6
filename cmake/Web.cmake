# The browser build's link options, for every program and test: the
# JavaScript side of the _web backends, code addresses for the run-time
# error report, and a memory that grows.
target_link_options(grain_options INTERFACE
  "SHELL:--js-library ${PROJECT_SOURCE_DIR}/web/library.js"
  -sUSE_OFFSET_CONVERTER=1 -sALLOW_MEMORY_GROWTH=1)
# Line tables for the report's addresses (the programs keep them beside
# their .wasm, docs/crash-reports.md).
target_compile_options(grain_options INTERFACE -g)

# The programs: on the page's thread, giving it back at each yield
# (Asyncify, for the one import that sleeps), started by web/run.js.
function(grain_web_program target)
  target_link_options(${target} PRIVATE
    -sASYNCIFY=1 "-sASYNCIFY_IMPORTS=['grain_yield']" -sINVOKE_RUN=0 -sENVIRONMENT=web
    "-sEXPORTED_FUNCTIONS=['_main','_grain_trap','_malloc']"
    "-sEXPORTED_RUNTIME_METHODS=['callMain']"
    "SHELL:--post-js ${PROJECT_SOURCE_DIR}/web/run.js"
    "-gseparate-dwarf=$<TARGET_FILE_DIR:${target}>/${target}.debug.wasm")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
    ${PROJECT_SOURCE_DIR}/web/run.js ${PROJECT_SOURCE_DIR}/web/library.js)
endfunction()
