# Cross build for Linux on s390x with Debian's s390x-linux-gnu compilers
# (cmake --preset linux-s390x, into build-linux-s390x/; scripts/test-cross s390x).
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(GRAIN_LINUX_TRIPLET s390x-linux-gnu)
set(GRAIN_QEMU qemu-s390x-static)

# Every frame keeps the back chain (its caller's stack pointer at its own),
# which the run-time error report walks.
set(CMAKE_C_FLAGS_INIT "-mbackchain")
set(CMAKE_CXX_FLAGS_INIT "-mbackchain")

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux.cmake)
