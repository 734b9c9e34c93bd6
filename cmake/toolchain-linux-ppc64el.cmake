# Cross build for Linux on ppc64el with Debian's powerpc64le-linux-gnu compilers
# (cmake --preset linux-ppc64el, into build-linux-ppc64el/; scripts/test-cross ppc64el).
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(GRAIN_LINUX_TRIPLET powerpc64le-linux-gnu)
set(GRAIN_QEMU qemu-ppc64le-static)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux.cmake)
