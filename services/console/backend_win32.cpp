// The console on Windows.
//
// Key input comes straight from the console's input event queue: the
// records of ReadConsoleInputA are the ones the keyboard logic reads.
// Asking the console whether input is pending is a round trip to it, so a
// watcher thread waits on the input handle and raises input_may_be_pending
// when input arrives. While the flag is down, asking costs a load and no
// call into the system; while it is up, the console is asked. The flag is
// lowered, and the watcher sent to wait again, only when the console
// reports its queue empty, so no input is left unnoticed. The
// echo goes to the console screen buffer of standard output, or to the
// console's own screen buffer ("CONOUT$") when standard output is
// redirected. Standard input that is no console (a file or a pipe) gives
// one key per byte (stream_keys.cpp), without echo, as on the other
// platforms.
#include <windows.h>

#include <atomic>

#include "services/console/backend.hpp"
#include "services/console/stream_keys.hpp"

namespace console::backend {
namespace {

// The console's handles; the screen handle is ours to close when opened here.
struct WinConsole {
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE screen = INVALID_HANDLE_VALUE;
  bool own_screen = false;
  bool silent = false;  // the line does not come from this console: no echo
  bool stream_pipe = false;  // standard input is no console but a pipe
};

WinConsole con;

// The watcher of the input handle. `rearm` sends it to wait on the handle
// once more; `stop` ends it.
struct Watcher {
  HANDLE thread = nullptr;
  HANDLE rearm = nullptr;
  HANDLE stop = nullptr;
  HANDLE input = nullptr;
};

Watcher watcher;

// Up: the console may hold input (and at start-up, when nothing is known).
std::atomic<bool> input_may_be_pending{true};

// --- the console's input event queue

DWORD WINAPI watch_input(void*) {
  // Above the plotting loop, which never yields, so a key is noticed at once.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
  for (;;) {
    // Waits on the input handle, until it is signalled (input is queued)
    // or the watcher is stopped.
    const HANDLE input_or_stop[2] = {watcher.input, watcher.stop};
    if (WaitForMultipleObjects(2, input_or_stop, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
    input_may_be_pending.store(true, std::memory_order_release);
    // Until the poll has found the queue empty.
    const HANDLE rearm_or_stop[2] = {watcher.rearm, watcher.stop};
    if (WaitForMultipleObjects(2, rearm_or_stop, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
  }
}

void stop_watcher() {
  if (watcher.thread != nullptr) {
    SetEvent(watcher.stop);
    WaitForSingleObject(watcher.thread, INFINITE);
    CloseHandle(watcher.thread);
  }
  if (watcher.rearm != nullptr) CloseHandle(watcher.rearm);
  if (watcher.stop != nullptr) CloseHandle(watcher.stop);
  watcher = Watcher{};
  input_may_be_pending.store(true);
}

// Without a watcher the flag stays up and every query asks the console.
void start_watcher() {
  stop_watcher();
  watcher.input = con.input;
  watcher.rearm = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  watcher.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (watcher.rearm != nullptr && watcher.stop != nullptr)
    watcher.thread = CreateThread(nullptr, 0, watch_input, nullptr, 0, nullptr);
  if (watcher.thread == nullptr) stop_watcher();
}

// The query KEYPRESSED makes. With the flag up it is the console's own
// count of pending events; an empty queue lowers the flag and sends the
// watcher back to the handle, which is signalled again by input that came
// in the meantime.
bool console_has_pending() {
  if (!input_may_be_pending.load(std::memory_order_acquire)) return false;
  DWORD n = 0;
  if (!GetNumberOfConsoleInputEvents(con.input, &n)) return false;
  if (n > 0 || watcher.thread == nullptr) return n > 0;
  input_may_be_pending.store(false, std::memory_order_relaxed);
  SetEvent(watcher.rearm);
  return false;
}

EventKind kind_of(WORD event_type) {
  switch (event_type) {
    case KEY_EVENT: return EventKind::key;
    case MOUSE_EVENT: return EventKind::mouse;
    case WINDOW_BUFFER_SIZE_EVENT: return EventKind::window_size;
    case MENU_EVENT: return EventKind::menu;
    default: return EventKind::focus;
  }
}

bool console_read(InputRecord& r) {
  INPUT_RECORD rec;
  DWORD got = 0;
  if (!ReadConsoleInputA(con.input, &rec, 1, &got) || got != 1) return false;
  r = InputRecord{};
  r.kind = kind_of(rec.EventType);
  if (rec.EventType == KEY_EVENT) {
    const KEY_EVENT_RECORD& k = rec.Event.KeyEvent;
    r.key_down = k.bKeyDown != 0;
    r.virtual_key = k.wVirtualKeyCode;
    r.scan_code = k.wVirtualScanCode;
    r.character = static_cast<std::uint8_t>(k.uChar.AsciiChar);
    r.control_state = k.dwControlKeyState;
  }
  return true;
}

// The handle signalled means input is queued; the following query looks,
// whether or not the watcher has woken yet.
void console_wait(std::uint32_t ms) {
  if (WaitForSingleObject(con.input, ms) == WAIT_OBJECT_0)
    input_may_be_pending.store(true, std::memory_order_relaxed);
}

constexpr EventSource kConsoleEvents{console_has_pending, console_read, console_wait};

// --- the bytes of a file or pipe, for the keys of stream_keys.cpp

// What a pipe holds: a byte or more, nothing yet, or its end (the look
// fails once the writer has gone).
ByteRead look_at_pipe() {
  DWORD available = 0;
  if (!PeekNamedPipe(con.input, nullptr, 0, nullptr, &available, nullptr)) return ByteRead::end;
  return available > 0 ? ByteRead::byte : ByteRead::none;
}

ByteRead stream_read_byte(std::uint8_t& byte) {
  if (con.stream_pipe) {
    const ByteRead there = look_at_pipe();
    if (there != ByteRead::byte) return there;
  }
  DWORD got = 0;
  return ReadFile(con.input, &byte, 1, &got, nullptr) && got == 1 ? ByteRead::byte : ByteRead::end;
}

// Only a pipe can be waited on with profit; it is looked at every 10 ms. A
// file has its next byte, or its end, at once.
void stream_wait(std::uint32_t ms) {
  if (!con.stream_pipe) return;
  for (std::uint32_t waited = 0; waited < ms && look_at_pipe() == ByteRead::none; waited += 10)
    Sleep(10);
}

constexpr ByteReader kStreamBytes{stream_read_byte, stream_wait};

// --- the screen buffer

bool screen_info(ScreenInfo& info) {
  CONSOLE_SCREEN_BUFFER_INFO csbi;
  if (!GetConsoleScreenBufferInfo(con.screen, &csbi)) return false;
  info.width = csbi.dwSize.X;
  info.height = csbi.dwSize.Y;
  info.cursor_x = csbi.dwCursorPosition.X;
  info.cursor_y = csbi.dwCursorPosition.Y;
  info.attribute = csbi.wAttributes;
  return true;
}

COORD at(int x, int y) { return COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}; }

void screen_set_cursor(int x, int y) {
  if (!con.silent) SetConsoleCursorPosition(con.screen, at(x, y));
}

void screen_write_cell(int x, int y, std::uint8_t ch, std::uint16_t attribute) {
  if (con.silent) return;
  CHAR_INFO cell;
  cell.Char.AsciiChar = static_cast<CHAR>(ch);
  cell.Attributes = attribute;
  SMALL_RECT region{static_cast<SHORT>(x), static_cast<SHORT>(y), static_cast<SHORT>(x),
                    static_cast<SHORT>(y)};
  WriteConsoleOutputA(con.screen, &cell, at(1, 1), at(0, 0), &region);
}

void screen_scroll_up(int left, int top, int right, int bottom, std::uint16_t attribute) {
  if (con.silent) return;
  const auto s = [](int v) { return static_cast<SHORT>(v); };
  SMALL_RECT rows_below{s(left), s(top + 1), s(right), s(bottom)};
  SMALL_RECT window{s(left), s(top), s(right), s(bottom)};
  CHAR_INFO fill;
  fill.Char.AsciiChar = ' ';
  fill.Attributes = attribute;
  ScrollConsoleScreenBufferA(con.screen, &rows_below, &window, at(left, top), &fill);
}

constexpr Screen kConsoleScreen{screen_info, screen_set_cursor, screen_write_cell,
                                screen_scroll_up, nullptr};

}  // namespace

OpenResult open(Console& console) {
  close();
  con = WinConsole{};
  con.screen = GetStdHandle(STD_OUTPUT_HANDLE);
  con.input = GetStdHandle(STD_INPUT_HANDLE);

  CONSOLE_SCREEN_BUFFER_INFO csbi;
  if (!GetConsoleScreenBufferInfo(con.screen, &csbi)) {
    con.screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (con.screen == INVALID_HANDLE_VALUE) return OpenResult::no_handle;
    con.own_screen = true;
    if (!GetConsoleScreenBufferInfo(con.screen, &csbi)) {
      close();
      return OpenResult::no_info;
    }
  }

  DWORD mode = 0;
  if (GetConsoleMode(con.input, &mode)) {
    console.events = &kConsoleEvents;
    start_watcher();
  } else {
    con.stream_pipe = GetFileType(con.input) == FILE_TYPE_PIPE;
    con.silent = true;
    console.events = &open_stream_keys(kStreamBytes);
  }
  console.screen = &kConsoleScreen;
  return OpenResult::ok;
}

void close() {
  stop_watcher();
  if (con.own_screen) CloseHandle(con.screen);
  con.own_screen = false;
  con.screen = INVALID_HANDLE_VALUE;
}

}  // namespace console::backend
