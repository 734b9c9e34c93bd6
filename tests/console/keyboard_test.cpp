// KEYPRESSED, READKEY and REMAPSCANCODE over scripted console records.
#include <gtest/gtest.h>

#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using namespace consoletest;
using console::EventKind;
using console::KEYPRESSED;
using console::READKEY;
using console::REMAPSCANCODE;
using console::SCANCODE;
using console::SPECIALKEY;

namespace vk = console::vk;
namespace scan = console::scan;
constexpr std::uint32_t kLAlt = console::kLeftAltPressed, kRAlt = console::kRightAltPressed,
                        kLCtrl = console::kLeftCtrlPressed, kRCtrl = console::kRightCtrlPressed,
                        kShift = console::kShiftPressed, kEnh = console::kEnhancedKey;

// The codes READKEY returns are written out as numbers: they are what a
// program reads, and checking against them checks the key header too.

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
  EXPECT_EQ(script.queries, 1);
  EXPECT_TRUE(script.waits.empty());
}

TEST_F(Keyboard, ModifiersLocksMouseFocusAndResizeNeverCountAndAreConsumed) {
  for (std::uint16_t key : {vk::kShift, vk::kControl, vk::kMenu, vk::kCapital, vk::kNumLock, vk::kScroll})
    press(key_down(key, scan::kLeftShift, 0, kShift));
  script.pending.push_back(event(EventKind::mouse));
  script.pending.push_back(event(EventKind::focus));
  script.pending.push_back(event(EventKind::window_size));
  script.pending.push_back(event(EventKind::menu));
  script.pending.push_back(key_up(key_down('A', scan::kA, 'a')));  // other key-ups too
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_TRUE(script.pending.empty());
  EXPECT_EQ(SCANCODE, 0);
}

TEST_F(Keyboard, BufferedKeyKeepsKeypressedTrueWithoutReading) {
  press(key_down('A', scan::kA, 'a'));
  press(key_down('B', scan::kA, 'b'));
  ASSERT_TRUE(KEYPRESSED());
  const auto left = script.pending.size();
  const int queries = script.queries;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(KEYPRESSED());
  EXPECT_EQ(script.pending.size(), left);
  EXPECT_EQ(script.queries, queries);
  EXPECT_EQ(READKEY(), 'a');
}

TEST_F(Keyboard, AltKeypadNumberGivesItsCodeOnAltRelease) {
  const auto alt_sequence = [](std::uint32_t alt, std::initializer_list<int> digits) {
    script.pending.push_back(key_down(vk::kMenu, scan::kAlt, 0, alt));
    for (int d : digits)
      press(key_down(static_cast<std::uint16_t>(vk::kNumpad0 + d), scan::kRight, 0, alt));
  };
  alt_sequence(kLAlt, {6, 5});
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_TRUE(console::DOINGNUMCHARS);
  script.pending.push_back(key_up(key_down(vk::kMenu, scan::kAlt)));
  EXPECT_TRUE(KEYPRESSED());
  EXPECT_EQ(SCANCODE, 65);
  EXPECT_FALSE(SPECIALKEY);
  EXPECT_FALSE(console::DOINGNUMCHARS);
  EXPECT_EQ(READKEY(), 'A');

  // 321 wraps to 65; the right Alt key works the same.
  alt_sequence(kRAlt, {3, 2, 1});
  EXPECT_FALSE(KEYPRESSED());
  script.pending.push_back(key_up(key_down(vk::kMenu, scan::kAlt)));
  EXPECT_TRUE(KEYPRESSED());
  EXPECT_EQ(SCANCODE, 65);
}

TEST_F(Keyboard, AltReleaseWithoutNumberIsNoKey) {
  press(key_down(vk::kMenu, scan::kAlt, 0, kLAlt));
  EXPECT_FALSE(KEYPRESSED());
  // Alt+keypad 0 alone: the code stays 0.
  script.pending.push_back(key_down(vk::kNumpad0, scan::kInsert, 0, kLAlt));
  script.pending.push_back(key_up(key_down(vk::kMenu, scan::kAlt)));
  EXPECT_FALSE(KEYPRESSED());
}

TEST_F(Keyboard, FunctionKeysGiveZeroThenTheirCode) {
  press(Key::f1);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x3B));
  press(Key::f1, kShift);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x54));
  press(Key::f1, kLCtrl);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x5E));
  press(Key::f1, kRAlt);
  EXPECT_EQ(read_two(), std::make_pair(0, 0x68));
  press(key_down(vk::kF11, scan::kF11));
  EXPECT_EQ(read_two(), std::make_pair(0, 0x85));
}

TEST_F(Keyboard, CharactersUnlessEnhancedOrLeftAlt) {
  press(key_down('A', scan::kA, 'a', kRAlt | kLCtrl));  // AltGr gives characters
  EXPECT_EQ(READKEY(), 'a');
  press(key_down('A', scan::kA, 'a', kLAlt));  // Alt+A
  EXPECT_EQ(read_two(), std::make_pair(0, 0x1E));
  press(key_down('1', scan::k1, '1', kLAlt));  // Alt+1
  EXPECT_EQ(read_two(), std::make_pair(0, 0x78));
  press(key_down(vk::kReturn, scan::kEnter, 13, kEnh));  // keypad Enter
  EXPECT_EQ(READKEY(), 13);
  press(key_down(vk::kReturn, scan::kEnter, 13, kLAlt));  // Alt+Enter
  EXPECT_EQ(READKEY(), 13);
  press(key_down(vk::kDivide, scan::kSlash, '/', kEnh));  // keypad /
  EXPECT_EQ(read_two(), std::make_pair(0, 0x35));
}

TEST_F(Keyboard, KeyWithoutAnyCodeIsNoKeystroke) {
  press(key_down(0xFF, 0));
  EXPECT_FALSE(KEYPRESSED());
  EXPECT_FALSE(SPECIALKEY);
  // ... so the next key is read as itself, not as the code of that one.
  press(key_down('K', scan::kA, 'K'));
  EXPECT_EQ(READKEY(), 'K');
}

TEST(RemapScanCode, AltRows) {
  struct Case { int from, code; };
  for (auto [from, code] : {Case{0x02, 0x78}, {0x0D, 0x83}, {0x1C, 0xA6}, {0x35, 0xA4},
                            {0x3B, 0x68}, {0x44, 0x71}, {0x47, 0x97}, {0x49, 0x99},
                            {0x4B, 0x9B}, {0x4D, 0x9D}, {0x4F, 0x9F}, {0x53, 0xA3},
                            {0x57, 0x8B}, {0x58, 0x8C}, {0x4A, 0x4A}, {0x4C, 0x4C}, {0x1E, 0x1E},
                            {0x48, 0x98}, {0x50, 0xA0}, {0x4E, 0x4E}, {0x0C, 0x82}})
    EXPECT_EQ(REMAPSCANCODE(static_cast<std::uint16_t>(from), kLAlt | kLCtrl | kShift, 0), code)
        << std::hex << from;
}

TEST(RemapScanCode, CtrlRows) {
  const int edit[] = {0x77, 0x8D, 0x84, 0x8E, 0x73, 0x8F, 0x74, 0x4E, 0x75, 0x91, 0x76, 0x92, 0x93};
  for (int from = 0x47; from <= 0x53; ++from)
    EXPECT_EQ(REMAPSCANCODE(static_cast<std::uint16_t>(from), kRCtrl, 0), edit[from - 0x47]) << std::hex << from;
  struct Case { int from, code; };
  for (auto [from, code] : {Case{0x0F, 0x94}, {0x35, 0x95}, {0x37, 0x96}, {0x3B, 0x5E}, {0x44, 0x67},
                            {0x57, 0x89}, {0x58, 0x8A}, {0x02, 0x02}})
    EXPECT_EQ(REMAPSCANCODE(static_cast<std::uint16_t>(from), kLCtrl | kShift, 0), code) << std::hex << from;
}

TEST(RemapScanCode, ShiftAndPlainRows) {
  EXPECT_EQ(REMAPSCANCODE(0x3B, kShift, 0), 0x54);
  EXPECT_EQ(REMAPSCANCODE(0x44, kShift, 0), 0x5D);
  EXPECT_EQ(REMAPSCANCODE(0x57, kShift, 0), 0x87);
  EXPECT_EQ(REMAPSCANCODE(0x4B, kShift, 0), 0x4B);  // cursor keys keep their codes
  EXPECT_EQ(REMAPSCANCODE(0x58, 0, 0), 0x86);
  EXPECT_EQ(REMAPSCANCODE(0x3B, 0, 0), 0x3B);
  EXPECT_EQ(REMAPSCANCODE(0x4F, kEnh, 0), 0x4F);
}

TEST_F(Keyboard, ReadkeyWaitsBeforeEveryPollEvenWithAKeyBuffered) {
  SCANCODE = 'x';
  EXPECT_EQ(READKEY(), 'x');
  EXPECT_EQ(script.waits, (std::vector<std::uint32_t>{1000}));

  // Nothing for two waits, then a key.
  script.waits.clear();
  script.later = {{}, {}, {key_down('K', scan::kA, 'k')}};
  EXPECT_EQ(READKEY(), 'k');
  EXPECT_EQ(script.waits, (std::vector<std::uint32_t>{1000, 1000, 1000}));
}

TEST_F(Keyboard, ReadkeyTakesAnExtendedKeyInTwoCalls) {
  press(Key::left);
  EXPECT_EQ(READKEY(), 0);
  EXPECT_TRUE(KEYPRESSED());  // its code is still buffered
  EXPECT_EQ(READKEY(), 0x4B);
  EXPECT_EQ(SCANCODE, 0);
}

}  // namespace
