# Shared part of the Windows cross toolchains (toolchain-mingw-i686.cmake,
# toolchain-mingw-x86_64.cmake), which set GRAIN_MINGW_TRIPLET and
# GRAIN_WINE_ARCH before including it.
#
# The posix-threads variant of the compiler provides std::thread and
# std::mutex. Programs are console programs with the C and C++ runtimes
# (and winpthread) linked in, so they need no DLL beyond the system's.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${GRAIN_MINGW_TRIPLET}-gcc-posix ${GRAIN_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${GRAIN_MINGW_TRIPLET}-g++-posix ${GRAIN_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${GRAIN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GRAIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the Windows programs under Wine, with the loader of this
# build's word size (tests/wine/run-under-wine).
set(CMAKE_CROSSCOMPILING_EMULATOR
    env GRAIN_WINE_ARCH=${GRAIN_WINE_ARCH} ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run-under-wine)
