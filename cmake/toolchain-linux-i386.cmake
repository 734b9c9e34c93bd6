# Cross build for Linux on i386 with Debian's i686-linux-gnu compilers
# (cmake --preset linux-i386, into build-linux-i386/; scripts/test-cross i386).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GRAIN_LINUX_TRIPLET i686-linux-gnu)
set(GRAIN_QEMU qemu-i386-static)

# x87 arithmetic throughout (the i686 default, stated so it cannot drift).
set(CMAKE_C_FLAGS_INIT "-mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-mfpmath=387")

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-linux.cmake)

# An x86-64 machine whose kernel runs 32-bit programs runs the tests
# without the emulator, which raises no x87 exceptions and ignores the trap
# flag: so the x87 faults are tested for real wherever they can be.
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/host-runs-32bit
                RESULT_VARIABLE grain_not_32bit OUTPUT_QUIET ERROR_QUIET)
if(grain_not_32bit EQUAL 0)
  unset(CMAKE_CROSSCOMPILING_EMULATOR)
endif()
