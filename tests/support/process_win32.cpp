// Windows: a program run to its end with its output read back (run() only).
#include <windows.h>

#include <thread>

#include "tests/support/process.hpp"

namespace testsupport {
namespace {

void drain(HANDLE pipe, std::string& into) {
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buf, sizeof buf, &got, nullptr) && got > 0) into.append(buf, got);
  CloseHandle(pipe);
}

// The standard handle the child gets for `r`; `read_end` set for a pipe.
HANDLE child_handle(const Redirect& r, DWORD own, HANDLE& read_end) {
  if (r.kind != Redirect::pipe) return GetStdHandle(own);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &sa, 0)) return nullptr;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  return write_end;
}

}  // namespace

Finished run(const Spawn& spawn, std::chrono::milliseconds timeout) {
  Finished f;
  std::string cmdline;
  for (const std::string& a : spawn.argv) cmdline += (cmdline.empty() ? "\"" + a + "\"" : " " + a);
  HANDLE out_read = nullptr, err_read = nullptr;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = child_handle(spawn.out, STD_OUTPUT_HANDLE, out_read);
  si.hStdError = child_handle(spawn.err, STD_ERROR_HANDLE, err_read);
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessA(spawn.argv[0].c_str(), cmdline.data(), nullptr, nullptr, TRUE,
                                      spawn.creation_flags, nullptr, nullptr, &si, &pi);
  if (out_read != nullptr) CloseHandle(si.hStdOutput);
  if (err_read != nullptr) CloseHandle(si.hStdError);
  std::thread out_reader, err_reader;
  if (out_read != nullptr) out_reader = std::thread(drain, out_read, std::ref(f.out));
  if (err_read != nullptr) err_reader = std::thread(drain, err_read, std::ref(f.err));
  if (started) {
    f.ended = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
    if (!f.ended) TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    f.status = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  if (out_reader.joinable()) out_reader.join();
  if (err_reader.joinable()) err_reader.join();
  return f;
}

int exit_code(int status) { return status; }

}  // namespace testsupport
