# Cross build for 32-bit Windows with Debian's mingw-w64 i686 compilers
# (cmake --preset win32, into build-win32/; scripts/build-windows 32).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GRAIN_MINGW_TRIPLET i686-w64-mingw32)
set(GRAIN_WINE_ARCH 32)

# x87 arithmetic throughout (the i686 default, stated so it cannot drift).
set(CMAKE_C_FLAGS_INIT "-mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-mfpmath=387")

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
