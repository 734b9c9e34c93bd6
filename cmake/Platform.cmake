# Chooses the backend files of every service: <name>_<GRAIN_PLATFORM>.cpp,
# plus <name>_<GRAIN_WINDOWING>.cpp for the window.
if(WIN32)
  set(GRAIN_PLATFORM win32)
  set(GRAIN_WINDOWING win32)
else()
  set(GRAIN_PLATFORM posix)
  set(GRAIN_WINDOWING x11)
endif()

# The figures' number type: the x87's 80-bit long double on x86, or the
# software type with the same bits (services/runtime/real/soft_extended.hpp),
# which every other processor gets whatever the option says.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86|x86)$")
  option(GRAIN_SOFT_EXTENDED "Software extended real instead of the x87's" OFF)
else()
  set(GRAIN_SOFT_EXTENDED ON CACHE BOOL "Software extended real instead of the x87's" FORCE)
  message(STATUS "no x87 on ${CMAKE_SYSTEM_PROCESSOR}: the software extended real")
endif()
target_compile_definitions(grain_options INTERFACE
  GRAIN_SOFT_EXTENDED=$<BOOL:${GRAIN_SOFT_EXTENDED}>)

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
