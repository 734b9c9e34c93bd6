// The Windows console backend on a real console: key records written into
// the console's input queue, echo read back from its screen buffer. The
// test program makes a console of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "services/console/console.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "tests/support/process.hpp"
#include "tests/support/programs.hpp"

namespace {

HANDLE conin() {
  return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}
HANDLE conout() {
  return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

INPUT_RECORD key(WORD vk, WORD scan, unsigned char ch, DWORD state, bool down = true) {
  INPUT_RECORD r{};
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent.bKeyDown = down;
  r.Event.KeyEvent.wRepeatCount = 1;
  r.Event.KeyEvent.wVirtualKeyCode = vk;
  r.Event.KeyEvent.wVirtualScanCode = scan;
  r.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(ch);
  r.Event.KeyEvent.dwControlKeyState = state;
  return r;
}

INPUT_RECORD mouse_move() {
  INPUT_RECORD r{};
  r.EventType = MOUSE_EVENT;
  r.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
  return r;
}

class WinConsole : public ::testing::Test {
 protected:
  // A console of the test program's own, whatever it was started with.
  static void SetUpTestSuite() {
    FreeConsole();
    AllocConsole();
  }

  void SetUp() override {
    in_ = conin();
    out_ = conout();
    ASSERT_NE(in_, INVALID_HANDLE_VALUE);
    ASSERT_NE(out_, INVALID_HANDLE_VALUE);
    FlushConsoleInputBuffer(in_);
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out_, &info));
    size_ = info.dwSize;
    DWORD n;
    FillConsoleOutputCharacterA(out_, ' ', size_.X * size_.Y, COORD{0, 0}, &n);
    FillConsoleOutputAttribute(out_, 0x07, size_.X * size_.Y, COORD{0, 0}, &n);
    SetStdHandle(STD_INPUT_HANDLE, in_);
    SetStdHandle(STD_OUTPUT_HANDLE, out_);
    console::SCANCODE = 0;
    console::SPECIALKEY = false;
    runtime::INOUTRES = 0;
  }

  void TearDown() override {
    console::kConsoleUnit.fini();
    CloseHandle(in_);
    CloseHandle(out_);
  }

  // Starts the console service with the console cursor and attribute given.
  void attach(int x, int y, WORD attribute = 0x07) {
    SetConsoleCursorPosition(out_, COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)});
    SetConsoleTextAttribute(out_, attribute);
    console::kConsoleUnit.init();
  }

  void type(std::initializer_list<INPUT_RECORD> records) {
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputA(in_, records.begin(), static_cast<DWORD>(records.size()),
                                   &written));
    ASSERT_EQ(written, records.size());
  }
  void type_text(const std::string& s) {
    for (char c : s) type({key(0, 0, static_cast<unsigned char>(c), 0)});
  }

  std::string row(int y, int from = 0, int count = 0) {
    if (count == 0) count = size_.X - from;
    std::string s(static_cast<std::size_t>(count), ' ');
    DWORD got = 0;
    ReadConsoleOutputCharacterA(out_, s.data(), static_cast<DWORD>(count),
                                COORD{static_cast<SHORT>(from), static_cast<SHORT>(y)}, &got);
    s.resize(got);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  WORD attribute_at(int x, int y) {
    WORD a = 0;
    DWORD got = 0;
    ReadConsoleOutputAttribute(out_, &a, 1, COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)},
                               &got);
    return a;
  }
  COORD cursor() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(out_, &info);
    return info.dwCursorPosition;
  }
  DWORD pending() {
    DWORD n = 0;
    GetNumberOfConsoleInputEvents(in_, &n);
    return n;
  }

  // Polls as the plotting loop does until KEYPRESSED reports a key or the
  // queue is empty, for up to 10 s: the poll notices input a moment after
  // it is queued. True when a key was reported.
  bool poll_until_key_or_empty() {
    for (int i = 0; i < 10000; ++i) {
      for (int j = 0; j < 1000; ++j)
        if (console::KEYPRESSED()) return true;
      if (pending() == 0) return false;
      Sleep(1);
    }
    return console::KEYPRESSED();
  }

  HANDLE in_ = INVALID_HANDLE_VALUE, out_ = INVALID_HANDLE_VALUE;
  COORD size_{80, 25};
};

TEST_F(WinConsole, PollTakesRecordsFromTheConsoleQueue) {
  attach(0, 0);
  EXPECT_FALSE(console::KEYPRESSED());
  // A modifier alone and the mouse are consumed without counting.
  type({key(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED), mouse_move(), key(VK_SHIFT, 0x2A, 0, 0, false)});
  EXPECT_FALSE(poll_until_key_or_empty());
  EXPECT_EQ(pending(), 0u);
  // The character of the record, as an unsigned byte.
  type({key('E', 0x12, 0xE9, 0), key('E', 0x12, 0xE9, 0, false)});
  EXPECT_TRUE(poll_until_key_or_empty());
  EXPECT_EQ(console::SCANCODE, 0xE9);
  EXPECT_EQ(pending(), 1u);  // the key-up is still queued
  EXPECT_EQ(console::READKEY(), 0xE9);
}

TEST_F(WinConsole, ExtendedKeysCarryScanCodeAndControlState) {
  attach(0, 0);
  type({key(VK_F1, 0x3B, 0, 0), key(VK_F1, 0x3B, 0, SHIFT_PRESSED),
        key(VK_RIGHT, 0x4D, 0, ENHANCED_KEY), key(VK_RETURN, 0x1C, 13, ENHANCED_KEY)});
  EXPECT_EQ(console::READKEY(), 0);
  EXPECT_EQ(console::READKEY(), 0x3B);
  EXPECT_EQ(console::READKEY(), 0);
  EXPECT_EQ(console::READKEY(), 0x54);
  EXPECT_EQ(console::READKEY(), 0);
  EXPECT_EQ(console::READKEY(), 0x4D);
  EXPECT_EQ(console::READKEY(), 13);  // keypad Enter
}

TEST_F(WinConsole, AltNumberEntryEndsWhenAltIsReleased) {
  attach(0, 0);
  const DWORD alt = LEFT_ALT_PRESSED | NUMLOCK_ON;
  type({key(VK_MENU, 0x38, 0, alt), key(VK_NUMPAD6, 0x4D, 0, alt),
        key(VK_NUMPAD6, 0x4D, 0, alt, false), key(VK_NUMPAD5, 0x4C, 0, alt),
        key(VK_NUMPAD5, 0x4C, 0, alt, false)});
  EXPECT_FALSE(poll_until_key_or_empty());
  type({key(VK_MENU, 0x38, 0, NUMLOCK_ON, false)});
  EXPECT_TRUE(poll_until_key_or_empty());
  EXPECT_EQ(console::SCANCODE, 'A');
}

// Polls that find nothing ask the console nothing; each key that comes
// after them is still noticed, also after the queue was found empty again.
TEST_F(WinConsole, EveryKeyAfterIdlePollsIsNoticed) {
  attach(0, 0);
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 100000; ++i) ASSERT_FALSE(console::KEYPRESSED());
    const auto c = static_cast<unsigned char>('a' + round);
    type({key(0, 0, c, 0), key(0, 0, c, 0, false), mouse_move()});
    ASSERT_TRUE(poll_until_key_or_empty()) << "round " << round;
    EXPECT_EQ(console::READKEY(), c);
    EXPECT_FALSE(poll_until_key_or_empty());  // the key-up and the mouse
    EXPECT_EQ(pending(), 0u);
  }
}

TEST_F(WinConsole, LineIsEchoedAtTheCursorWithTheConsolesAttribute) {
  attach(3, 2, 0x1E);
  type_text("hi");
  type({key(VK_LEFT, 0x4B, 0, ENHANCED_KEY)});
  type_text("o!\r");
  runtime::READLN_END(runtime::INPUT);
  EXPECT_EQ(runtime::INOUTRES, 0);
  EXPECT_EQ(row(2), "   ho!");
  EXPECT_EQ(attribute_at(3, 2), 0x1E);
  EXPECT_EQ(attribute_at(5, 2), 0x1E);
  EXPECT_EQ(cursor().X, 0);
  EXPECT_EQ(cursor().Y, 3);
}

TEST_F(WinConsole, EchoScrollsTheWholeBufferAtTheBottom) {
  const int bottom = size_.Y - 1;
  DWORD n;
  WriteConsoleOutputCharacterA(out_, "top", 3, COORD{0, 0}, &n);
  WriteConsoleOutputCharacterA(out_, "second", 6, COORD{0, 1}, &n);
  attach(0, bottom, 0x2F);
  type_text("z\r");
  runtime::READLN_END(runtime::INPUT);
  EXPECT_EQ(row(0), "second");  // the top row went out
  EXPECT_EQ(row(bottom - 1), "z");
  EXPECT_EQ(row(bottom), "");
  EXPECT_EQ(attribute_at(0, bottom), 0x2F);  // the new row is in the text attribute
  EXPECT_EQ(cursor().X, 0);
  EXPECT_EQ(cursor().Y, bottom);
}

TEST_F(WinConsole, RedirectedOutputEchoesOnTheConsolesOwnBuffer) {
  HANDLE r, w;
  ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
  SetConsoleCursorPosition(out_, COORD{0, 4});
  SetStdHandle(STD_OUTPUT_HANDLE, w);
  console::kConsoleUnit.init();
  type_text("ok\r");
  runtime::READLN_END(runtime::INPUT);
  EXPECT_EQ(row(4), "ok");
  CloseHandle(w);
  char buf[16];
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(r, buf, sizeof buf, &got, nullptr) && got > 0);  // nothing went there
  CloseHandle(r);
}

TEST_F(WinConsole, InputFromAPipeGivesOneKeyPerByteWithoutEcho) {
  HANDLE r, w;
  ASSERT_TRUE(CreatePipe(&r, &w, nullptr, 0));
  SetStdHandle(STD_INPUT_HANDLE, r);
  attach(0, 6);
  EXPECT_FALSE(console::KEYPRESSED());  // nothing written yet
  DWORD n;
  WriteFile(w, "q\nrest\n", 7, &n, nullptr);
  EXPECT_TRUE(console::KEYPRESSED());
  EXPECT_EQ(console::SCANCODE, 'q');
  runtime::READLN_END(runtime::INPUT);  // "q" and the line feed
  EXPECT_EQ(row(6), "");
  EXPECT_EQ(console::READKEY(), 'r');
  CloseHandle(w);
  // At the end of the input every key is Enter.
  runtime::READLN_END(runtime::INPUT);
  EXPECT_EQ(console::READKEY(), 13);
  EXPECT_EQ(console::READKEY(), 13);
  CloseHandle(r);
}

TEST(WinConsoleStartUp, WithoutAConsoleTheProgramEndsWithStatusOne) {
  using testsupport::Redirect;
  const testsupport::Finished r = testsupport::run({.argv = {testsupport::program("console_probe")},
                                                    .out = {Redirect::pipe},
                                                    .err = {Redirect::pipe},
                                                    .creation_flags = DETACHED_PROCESS});
  ASSERT_TRUE(r.ended);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "No way to get the console handle\r\n");
  EXPECT_EQ(r.out, "");  // no report
}

}  // namespace
