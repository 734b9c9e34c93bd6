# Cross build for Linux on armhf with Debian's arm-linux-gnueabihf compilers
# (cmake --preset linux-armhf, into build-linux-armhf/; scripts/test-cross armhf).
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(GRAIN_LINUX_TRIPLET arm-linux-gnueabihf)
set(GRAIN_QEMU qemu-arm-static)

# ARM state, not Thumb (the Debian default): in Thumb code the frame pointer
# (r7) does not point at the saved frame link, so the run-time error report
# could not walk the frames.
set(CMAKE_C_FLAGS_INIT "-marm")
set(CMAKE_CXX_FLAGS_INIT "-marm")

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux.cmake)
