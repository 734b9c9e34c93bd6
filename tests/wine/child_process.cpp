#include "tests/wine/child_process.hpp"

#include <windows.h>

#include <thread>

namespace winetest {
namespace {

void drain(HANDLE pipe, std::string& into) {
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buf, sizeof buf, &got, nullptr) && got > 0) into.append(buf, got);
  CloseHandle(pipe);
}

}  // namespace

ChildResult run_child(const std::string& program, const std::string& arguments,
                      unsigned timeout_ms, std::uint32_t creation_flags) {
  ChildResult r;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  if (!CreatePipe(&out_read, &out_write, &sa, 0) || !CreatePipe(&err_read, &err_write, &sa, 0))
    return r;
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out_write;
  si.hStdError = err_write;
  PROCESS_INFORMATION pi{};
  std::string cmdline = "\"" + program + "\" " + arguments;
  BOOL started = CreateProcessA(program.c_str(), cmdline.data(), nullptr, nullptr, TRUE, creation_flags,
                                nullptr, nullptr, &si, &pi);
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (!started) {
    CloseHandle(out_read);
    CloseHandle(err_read);
    return r;
  }
  std::thread out_reader(drain, out_read, std::ref(r.out));
  std::thread err_reader(drain, err_read, std::ref(r.err));
  r.finished = WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0;
  if (!r.finished) TerminateProcess(pi.hProcess, 1);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  r.exit_code = code;
  out_reader.join();
  err_reader.join();
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return r;
}

std::string own_directory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  return s.substr(0, s.find_last_of("\\/") + 1);
}

}  // namespace winetest
