# Shared part of the Linux cross toolchains (toolchain-linux-<arch>.cmake),
# which set CMAKE_SYSTEM_PROCESSOR, GRAIN_LINUX_TRIPLET and GRAIN_QEMU
# before including it: Debian's cross compiler for the triplet, the
# target's libraries from its multiarch packages (libx11-dev:<arch> and so
# on, installed by scripts/install-deps cross), and ctest running the
# target's programs under the user-mode emulator.
set(CMAKE_SYSTEM_NAME Linux)

find_program(CMAKE_C_COMPILER NAMES ${GRAIN_LINUX_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${GRAIN_LINUX_TRIPLET}-g++ REQUIRED)

# The cross compiler's own tree, then the multiarch libraries of the host
# (/usr/lib/<triplet>, headers in /usr/include): find_* look in both.
set(CMAKE_LIBRARY_ARCHITECTURE ${GRAIN_LINUX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH /usr/${GRAIN_LINUX_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The emulator binary by its full path: tests/support puts it in front of
# the programs the tests start, which the kernel could not run itself
# unless binfmt_misc had been set up (never assumed).
find_program(GRAIN_QEMU_PATH NAMES ${GRAIN_QEMU} PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${GRAIN_QEMU_PATH})
