# Cross build for Linux on arm64 with Debian's aarch64-linux-gnu compilers
# (cmake --preset linux-arm64, into build-linux-arm64/; scripts/test-cross arm64).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(GRAIN_LINUX_TRIPLET aarch64-linux-gnu)
set(GRAIN_QEMU qemu-aarch64-static)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux.cmake)
