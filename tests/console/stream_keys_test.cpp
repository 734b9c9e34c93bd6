// Input that is no terminal or console: a scripted byte reader through the
// key records, KEYPRESSED, READKEY and the line editor.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "services/console/keycodes.hpp"
#include "services/console/stream_keys.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"
#include "tests/console/fake_console.hpp"

namespace {

using console::ByteRead;
using console::InputRecord;

// What the reader gives, one entry a read: a byte, or nothing yet
// (nullopt); then the end, for ever.
struct Bytes {
  std::deque<std::optional<std::uint8_t>> script;
  int reads = 0;
  std::vector<std::uint32_t> waits;
};
Bytes scripted_bytes;

ByteRead read_byte(std::uint8_t& byte) {
  ++scripted_bytes.reads;
  if (scripted_bytes.script.empty()) return ByteRead::end;
  const std::optional<std::uint8_t> next = scripted_bytes.script.front();
  scripted_bytes.script.pop_front();
  if (!next) return ByteRead::none;
  byte = *next;
  return ByteRead::byte;
}

void wait_byte(std::uint32_t ms) { scripted_bytes.waits.push_back(ms); }

constexpr console::ByteReader kReader{read_byte, wait_byte};

class StreamKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted_bytes = Bytes{};
    consoletest::attach(80, 25);
    events_ = &console::open_stream_keys(kReader);
    console::attach(*events_, *console::screen);
    console::SCANCODE = 0;
    console::SPECIALKEY = false;
    runtime::INOUTRES = 0;
  }
  void give(const std::string& text) {
    for (const char c : text) scripted_bytes.script.push_back(static_cast<std::uint8_t>(c));
  }
  void give_nothing_yet() { scripted_bytes.script.push_back(std::nullopt); }
  const console::EventSource* events_ = nullptr;
};

void expect_key(const InputRecord& r, bool down, std::uint16_t vk, std::uint16_t scan,
                std::uint8_t ch, std::uint32_t state) {
  EXPECT_EQ(r.kind, console::EventKind::key);
  EXPECT_EQ(r.key_down, down);
  EXPECT_EQ(r.virtual_key, vk);
  EXPECT_EQ(r.scan_code, scan);
  EXPECT_EQ(r.character, ch);
  EXPECT_EQ(r.control_state, state);
}

TEST_F(StreamKeys, EachByteIsItsKeysPressAndRelease) {
  give("aB\x01");
  InputRecord r[6];
  for (InputRecord& each : r) ASSERT_TRUE(events_->read(each));
  expect_key(r[0], true, 'A', console::scan::kA, 'a', 0);
  expect_key(r[1], false, 'A', console::scan::kA, 'a', 0);
  expect_key(r[2], true, 'B', console::scan::kZ + 4, 'B', console::kShiftPressed);
  expect_key(r[3], false, 'B', console::scan::kZ + 4, 'B', console::kShiftPressed);
  expect_key(r[4], true, 'A', console::scan::kA, 1, console::kLeftCtrlPressed);
  expect_key(r[5], false, 'A', console::scan::kA, 1, console::kLeftCtrlPressed);
}

TEST_F(StreamKeys, LineFeedAndCarriageReturnAreEnter) {
  give("\n\r");
  for (int i = 0; i < 4; ++i) {
    InputRecord r;
    ASSERT_TRUE(events_->read(r));
    expect_key(r, i % 2 == 0, console::vk::kReturn, console::scan::kEnter, 13, 0);
  }
}

TEST_F(StreamKeys, AByteIsReadOnlyOnceTheKeyBeforeItIsTaken) {
  give("xy");
  EXPECT_TRUE(events_->has_pending());
  EXPECT_TRUE(events_->has_pending());
  EXPECT_EQ(scripted_bytes.reads, 1);
  InputRecord r;
  ASSERT_TRUE(events_->read(r));  // x down
  ASSERT_TRUE(events_->read(r));  // x up
  EXPECT_EQ(scripted_bytes.reads, 1);
  ASSERT_TRUE(events_->read(r));
  EXPECT_EQ(r.character, 'y');
  EXPECT_EQ(scripted_bytes.reads, 2);
}

TEST_F(StreamKeys, NothingYetIsNoRecordAndTheWaitGoesToTheReader) {
  give_nothing_yet();
  give("k");
  EXPECT_FALSE(events_->has_pending());
  events_->wait(250);
  ASSERT_EQ(scripted_bytes.waits, std::vector<std::uint32_t>{250});
  InputRecord r;
  ASSERT_TRUE(events_->read(r));
  EXPECT_EQ(r.character, 'k');
  events_->wait(250);  // a record is there: no wait
  EXPECT_EQ(scripted_bytes.waits.size(), 1u);
}

TEST_F(StreamKeys, AtTheEndEveryKeyIsEnterWithoutReadingOrWaiting) {
  give("z");
  InputRecord r;
  ASSERT_TRUE(events_->read(r));
  ASSERT_TRUE(events_->read(r));
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(events_->has_pending());
    ASSERT_TRUE(events_->read(r));
    expect_key(r, i % 2 == 0, console::vk::kReturn, console::scan::kEnter, 13, 0);
  }
  const int reads = scripted_bytes.reads;
  events_->wait(1000);
  EXPECT_TRUE(scripted_bytes.waits.empty());
  EXPECT_TRUE(events_->has_pending());
  EXPECT_EQ(scripted_bytes.reads, reads);  // the end is not asked for again
}

TEST_F(StreamKeys, KeyPollAndLineEditorTakeNoMoreThanTheLine) {
  give("q");
  give_nothing_yet();
  give("w\nrest\n");
  EXPECT_TRUE(console::KEYPRESSED());
  EXPECT_EQ(console::READKEY(), 'q');
  EXPECT_FALSE(console::KEYPRESSED());  // nothing yet
  runtime::READLN_END(runtime::INPUT);  // "w" and the line feed
  EXPECT_EQ(runtime::INOUTRES, 0);
  EXPECT_EQ(scripted_bytes.script.size(), 5u);  // "rest\n" still unread
  EXPECT_EQ(console::READKEY(), 'r');
}

TEST_F(StreamKeys, AnInputThatEndsEndsTheLine) {
  give("ab");
  runtime::READLN_END(runtime::INPUT);
  EXPECT_EQ(runtime::INOUTRES, 0);
  EXPECT_EQ(console::READKEY(), 13);
  EXPECT_EQ(console::READKEY(), 13);
}

// 127, as a terminal's Backspace sends it, and 8 both take back a character.
TEST_F(StreamKeys, DeleteAndBackspaceEraseInTheLine) {
  give("ab\x7F" "c\x08" "d\n");
  runtime::TEXTREC& in = runtime::INPUT;
  in.inout(in);
  EXPECT_EQ(std::string(in.buffer.data(), in.bufend), "ad\r\n");
}

}  // namespace
