# Chooses the backend files of every service: <name>_<GRAIN_PLATFORM>.cpp,
# plus <name>_<GRAIN_WINDOWING>.cpp for the window.
if(WIN32)
  set(GRAIN_PLATFORM win32)
  set(GRAIN_WINDOWING win32)
else()
  set(GRAIN_PLATFORM posix)
  set(GRAIN_WINDOWING x11)
endif()

if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86|x86)$")
  message(FATAL_ERROR "the figure arithmetic needs the x87 80-bit extended type (x86 or x86-64)")
endif()

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
