// KEYPRESSED, READKEY and REMAPSCANCODE over scripted console records.
#include <gtest/gtest.h>

#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using namespace consoletest;
using console::EventKind;
using console::KEYPRESSED;
using console::READKEY;
using console::REMAPSCANCODE;
using console::SCANCODE;
using console::SPECIALKEY;

constexpr std::uint32_t LALT = console::CS_LEFT_ALT, RALT = console::CS_RIGHT_ALT,
                        LCTRL = console::CS_LEFT_CTRL, RCTRL = console::CS_RIGHT_CTRL,
                        SHIFT = console::CS_SHIFT, ENH = console::CS_ENHANCED;

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    attach(80, 25);
    console::DOINGNUMCHARS = false;
    console::DOINGNUMCODE = 0;
  }
  // The two READKEY results of an extended key.
  std::pair<int, int> read_two() {
    const int a = READKEY();
    return {a, READKEY()};
  }
};

TEST_F(Keyboard, NothingPendingIsFalseAtOnce) {
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_EQ(SCRIPT.queries, 1);
  EXPECT_TRUE(SCRIPT.waits.empty());
}

TEST_F(Keyboard, ModifiersLocksMouseFocusAndResizeNeverCountAndAreConsumed) {
  for (std::uint16_t vk : {0x10, 0x11, 0x12, 0x14, 0x90, 0x91}) press(key_down(vk, 0x2A, 0, SHIFT));
  SCRIPT.pending.push_back(event(EventKind::mouse));
  SCRIPT.pending.push_back(event(EventKind::focus));
  SCRIPT.pending.push_back(event(EventKind::window_size));
  SCRIPT.pending.push_back(event(EventKind::menu));
  SCRIPT.pending.push_back(key_up(key_down('A', 0x1E, 'a')));  // other key-ups too
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_TRUE(SCRIPT.pending.empty());
  EXPECT_EQ(SCANCODE, 0);
}

TEST_F(Keyboard, BufferedKeyKeepsKeypressedTrueWithoutReading) {
  press(key_down('A', 0x1E, 'a'));
  press(key_down('B', 0x30, 'b'));
  ASSERT_TRUE(KEYPRESSED());
  const auto left = SCRIPT.pending.size();
  const int queries = SCRIPT.queries;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(KEYPRESSED());
  EXPECT_EQ(SCRIPT.pending.size(), left);
  EXPECT_EQ(SCRIPT.queries, queries);
  EXPECT_EQ(READKEY(), 'a');
}

TEST_F(Keyboard, AltKeypadNumberGivesItsCodeOnAltRelease) {
  const auto alt_sequence = [](std::uint32_t alt, std::initializer_list<int> digits) {
    SCRIPT.pending.push_back(key_down(0x12, 0x38, 0, alt));
    for (int d : digits)
      press(key_down(static_cast<std::uint16_t>(0x60 + d), 0x4D, 0, alt));
  };
  alt_sequence(LALT, {6, 5});
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_TRUE(console::DOINGNUMCHARS);
  SCRIPT.pending.push_back(key_up(key_down(0x12, 0x38)));
  EXPECT_TRUE(KEYPRESSED());
  EXPECT_EQ(SCANCODE, 65);
  EXPECT_FALSE(SPECIALKEY);
  EXPECT_FALSE(console::DOINGNUMCHARS);
  EXPECT_EQ(READKEY(), 'A');

  // 321 wraps to 65; the right Alt key works the same.
  alt_sequence(RALT, {3, 2, 1});
  EXPECT_FALSE(KEYPRESSED());
  SCRIPT.pending.push_back(key_up(key_down(0x12, 0x38)));
  EXPECT_TRUE(KEYPRESSED());
  EXPECT_EQ(SCANCODE, 65);
}

TEST_F(Keyboard, AltReleaseWithoutNumberIsNoKey) {
  press(key_down(0x12, 0x38, 0, LALT));
  EXPECT_FALSE(KEYPRESSED());
  // Alt+keypad 0 alone: the code stays 0.
  SCRIPT.pending.push_back(key_down(0x60, 0x52, 0, LALT));
  SCRIPT.pending.push_back(key_up(key_down(0x12, 0x38)));
  EXPECT_FALSE(KEYPRESSED());
}

TEST_F(Keyboard, FunctionKeysGiveZeroThenTheirCode) {
  press(Key::f1);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x3B));
  press(Key::f1, SHIFT);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x54));
  press(Key::f1, LCTRL);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x5E));
  press(Key::f1, RALT);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x68));
  press(key_down(0x7A, 0x57));  // F11
  EXPECT_EQ(read_two(), std::make_pair(0, 0x85));
}

TEST_F(Keyboard, CharactersUnlessEnhancedOrLeftAlt) {
  press(key_down('A', 0x1E, 'a', RALT | LCTRL));  // AltGr gives characters
  EXPECT_EQ(READKEY(), 'a');
  press(key_down('A', 0x1E, 'a', LALT));  // Alt+A
  EXPECT_EQ(read_two(), std::make_pair(0, 0x1E));
  press(key_down('1', 0x02, '1', LALT));  // Alt+1
  EXPECT_EQ(read_two(), std::make_pair(0, 0x78));
  press(key_down(0x0D, 0x1C, 13, ENH));  // keypad Enter
  EXPECT_EQ(READKEY(), 13);
  press(key_down(0x0D, 0x1C, 13, LALT));  // Alt+Enter
  EXPECT_EQ(READKEY(), 13);
  press(key_down(0x2F, 0x35, '/', ENH));  // keypad /
  EXPECT_EQ(read_two(), std::make_pair(0, 0x35));
}

TEST_F(Keyboard, KeyWithoutAnyCodeIsNoKeystroke) {
  press(key_down(0xFF, 0));
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_FALSE(SPECIALKEY);
  // ... so the next key is read as itself, not as the code of that one.
  press(key_down('K', 0x25, 'K'));
  EXPECT_EQ(READKEY(), 'K');
}

TEST(RemapScanCode, AltRows) {
  struct Case { int scan, code; };
  for (auto [scan, code] : {Case{0x02, 0x78}, {0x0D, 0x83}, {0x1C, 0xA6}, {0x35, 0xA4},
                            {0x3B, 0x68}, {0x44, 0x71}, {0x47, 0x97}, {0x49, 0x99},
                            {0x4B, 0x9B}, {0x4D, 0x9D}, {0x4F, 0x9F}, {0x53, 0xA3},
                            {0x57, 0x8B}, {0x58, 0x8C}, {0x4A, 0x4A}, {0x4C, 0x4C}, {0x1E, 0x1E}})
    EXPECT_EQ(REMAPSCANCODE(static_cast<std::uint16_t>(scan), LALT | LCTRL | SHIFT, 0), code)
        << std::hex << scan;
}

TEST(RemapScanCode, CtrlRows) {
  const int edit[] = {0x77, 0x8D, 0x84, 0x8E, 0x73, 0x8F, 0x74, 0x4E, 0x75, 0x91, 0x76, 0x92, 0x93};
  for (int scan = 0x47; scan <= 0x53; ++scan)
    EXPECT_EQ(REMAPSCANCODE(static_cast<std::uint16_t>(scan), RCTRL, 0), edit[scan - 0x47]) << std::hex << scan;
  struct Case { int scan, code; };
  for (auto [scan, code] : {Case{0x0F, 0x94}, {0x35, 0x95}, {0x37, 0x96}, {0x3B, 0x5E}, {0x44, 0x67},
                            {0x57, 0x89}, {0x58, 0x8A}, {0x02, 0x02}})
    EXPECT_EQ(REMAPSCANCODE(static_cast<std::uint16_t>(scan), LCTRL | SHIFT, 0), code) << std::hex << scan;
}

TEST(RemapScanCode, ShiftAndPlainRows) {
  EXPECT_EQ(REMAPSCANCODE(0x3B, SHIFT, 0), 0x54);
  EXPECT_EQ(REMAPSCANCODE(0x44, SHIFT, 0), 0x5D);
  EXPECT_EQ(REMAPSCANCODE(0x57, SHIFT, 0), 0x87);
  EXPECT_EQ(REMAPSCANCODE(0x4B, SHIFT, 0), 0x4B);  // cursor keys keep their codes
  EXPECT_EQ(REMAPSCANCODE(0x58, 0, 0), 0x86);
  EXPECT_EQ(REMAPSCANCODE(0x3B, 0, 0), 0x3B);
  EXPECT_EQ(REMAPSCANCODE(0x4F, ENH, 0), 0x4F);
}

TEST_F(Keyboard, ReadkeyWaitsBeforeEveryPollEvenWithAKeyBuffered) {
  SCANCODE = 'x';
  EXPECT_EQ(READKEY(), 'x');
  EXPECT_EQ(SCRIPT.waits, (std::vector<std::uint32_t>{1000}));

  // Nothing for two waits, then a key.
  SCRIPT.waits.clear();
  SCRIPT.later = {{}, {}, {key_down('K', 0x25, 'k')}};
  EXPECT_EQ(READKEY(), 'k');
  EXPECT_EQ(SCRIPT.waits, (std::vector<std::uint32_t>{1000, 1000, 1000}));
}

TEST_F(Keyboard, ReadkeyTakesAnExtendedKeyInTwoCalls) {
  press(Key::left);
  EXPECT_EQ(READKEY(), 0);
  EXPECT_TRUE(KEYPRESSED());  // its code is still buffered
  EXPECT_EQ(READKEY(), 0x4B);
  EXPECT_EQ(SCANCODE, 0);
}

}  // namespace
