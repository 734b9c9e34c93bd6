# Cross build for 64-bit Windows with Debian's mingw-w64 x86_64 compilers
# (scripts/build-windows 64):
#
#   cmake -S . -B build-win64 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
#
# long double is the x87 80-bit type here too, so the figures' arithmetic
# is the same as in the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GRAIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(GRAIN_WINE_ARCH 64)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
