# Cross build for 64-bit Windows with Debian's mingw-w64 x86_64 compilers
# (cmake --preset win64, into build-win64/; scripts/build-windows 64).
#
# long double is the x87 80-bit type here too, so the figures' arithmetic
# is the same as in the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GRAIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(GRAIN_WINE_ARCH 64)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
