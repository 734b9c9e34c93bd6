// Windows side of the runtime: standard handles, handle I/O, the tick
// counter, the process end, and the stack bounds of the current thread.
#include "services/runtime/platform.hpp"

#include <windows.h>

namespace runtime::platform {
namespace {

HANDLE as_handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// The current thread's information block (fs:[0x18] on 32-bit Windows,
// gs:[0x30] on 64-bit). Read directly: the system header's accessor trips
// the bounds warning.
const NT_TIB* thread_info_block() {
  const NT_TIB* tib;
#if defined(__x86_64__)
  __asm__("movq %%gs:0x30, %0" : "=r"(tib));
#else
  __asm__("movl %%fs:0x18, %0" : "=r"(tib));
#endif
  return tib;
}

// I/O error numbers for INOUTRES: the system's own error code where it is
// a usual one, else the generic read (100) or write (101) failure.
std::uint16_t io_error(DWORD e, std::uint16_t generic) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
      return static_cast<std::uint16_t>(e);
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return 101;
    default:
      return generic;
  }
}

}  // namespace

std::intptr_t std_handle(StdStream which) {
  DWORD id = STD_INPUT_HANDLE;
  if (which == StdStream::output) id = STD_OUTPUT_HANDLE;
  if (which == StdStream::error) id = STD_ERROR_HANDLE;
  return reinterpret_cast<std::intptr_t>(GetStdHandle(id));
}

std::uint16_t write(std::intptr_t handle, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    if (!WriteFile(as_handle(handle), data, chunk, &written, nullptr))
      return io_error(GetLastError(), 101);
    if (written == 0) return 101;  // nothing taken: would loop forever
    data += written;
    size -= written;
  }
  return 0;
}

long read(std::intptr_t handle, char* data, std::size_t size, std::uint16_t& error) {
  DWORD got = 0;
  DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
  if (ReadFile(as_handle(handle), data, want, &got, nullptr)) return static_cast<long>(got);
  DWORD e = GetLastError();
  if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF) return 0;  // the writer has gone: end
  error = io_error(e, 100);
  return -1;
}

bool is_char_device(std::intptr_t handle) {
  return GetFileType(as_handle(handle)) == FILE_TYPE_CHAR;
}

std::uint32_t tick_count_ms() { return GetTickCount(); }

// The process runs at its linked address range: the real address is what a
// debugger or a map file names. A 64-bit address is printed in full.
std::uint64_t report_address(const void* code) { return reinterpret_cast<std::uintptr_t>(code); }

int report_address_digits() { return 2 * static_cast<int>(sizeof(void*)); }

bool frame_on_stack(const void* frame) {
  const NT_TIB* tib = thread_info_block();
  auto lo = reinterpret_cast<std::uintptr_t>(tib->StackLimit);
  auto hi = reinterpret_cast<std::uintptr_t>(tib->StackBase);
  auto f = reinterpret_cast<std::uintptr_t>(frame);
  return f % sizeof(void*) == 0 && f >= lo && f < hi && hi - f >= 2 * sizeof(void*);
}

[[noreturn]] void exit_process(std::uint16_t status) {
  ExitProcess(status);
}

}  // namespace runtime::platform
