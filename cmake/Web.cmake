# The browser build's link options, for every program and test: the
# JavaScript side of the _web backends, code addresses for the run-time
# error report, and a memory that grows.
target_link_options(grain_options INTERFACE
  "SHELL:--js-library ${PROJECT_SOURCE_DIR}/web/library.js"
  -sUSE_OFFSET_CONVERTER=1 -sALLOW_MEMORY_GROWTH=1)
