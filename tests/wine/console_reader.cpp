// Test-only program: attaches to the console of the running program with
// the given file name and writes "cursor X Y" and "row TEXT": the console
// cursor and the text of its row with trailing blanks cut. Exit status 1
// when there is no such program or its console cannot be read.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

DWORD find_process(const char* exe_name) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD pid = 0;
  for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry))
    if (_stricmp(entry.szExeFile, exe_name) == 0) pid = entry.th32ProcessID;
  CloseHandle(snap);
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wine_console_reader PROGRAM.exe\n");
    return 2;
  }
  const DWORD pid = find_process(argv[1]);
  if (pid == 0) return 1;
  FreeConsole();
  if (!AttachConsole(pid)) return 1;
  HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (out == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(out, &info)) return 1;
  std::string row(static_cast<std::size_t>(info.dwSize.X), ' ');
  DWORD got = 0;
  ReadConsoleOutputCharacterA(out, row.data(), info.dwSize.X, COORD{0, info.dwCursorPosition.Y},
                              &got);
  row.resize(got);
  row.erase(row.find_last_not_of(' ') + 1);
  FreeConsole();
  // Standard output is the caller's pipe, not the console just left.
  std::printf("cursor %d %d\nrow %s\n", info.dwCursorPosition.X, info.dwCursorPosition.Y,
              row.c_str());
  return 0;
}
