# GRAIN_PROCESSOR: the processor the build is for, as the per-processor
# files are named (services/runtime/faults/fault_context_<processor>_posix.cpp):
# x86_64, i386, aarch64, arm, ppc64le or s390x.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(GRAIN_PROCESSOR x86_64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
  set(GRAIN_PROCESSOR i386)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  set(GRAIN_PROCESSOR aarch64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  set(GRAIN_PROCESSOR arm)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(ppc64le|powerpc64le)$")
  set(GRAIN_PROCESSOR ppc64le)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "s390x")
  set(GRAIN_PROCESSOR s390x)
else()
  message(FATAL_ERROR "unsupported processor ${CMAKE_SYSTEM_PROCESSOR}")
endif()
