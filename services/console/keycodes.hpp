#pragma once
// The numbers of console keys: the control-key state bits and the virtual
// key and scan code of a key event, and the extended codes that READKEY
// returns after its 0. Virtual keys and control-key state bits are the
// Windows console's; scan codes are those of a PC keyboard (set 1). The
// virtual key of a digit or a letter is its upper-case character.
#include <cstdint>

namespace console {

// Control-key state bits of a key event.
inline constexpr std::uint32_t kRightAltPressed = 0x1;
inline constexpr std::uint32_t kLeftAltPressed = 0x2;
inline constexpr std::uint32_t kRightCtrlPressed = 0x4;
inline constexpr std::uint32_t kLeftCtrlPressed = 0x8;
inline constexpr std::uint32_t kShiftPressed = 0x10;
// The grey cursor and editing keys, keypad / and keypad Enter.
inline constexpr std::uint32_t kEnhancedKey = 0x100;
inline constexpr std::uint32_t kAltPressed = kRightAltPressed | kLeftAltPressed;
inline constexpr std::uint32_t kCtrlPressed = kRightCtrlPressed | kLeftCtrlPressed;

namespace vk {
inline constexpr std::uint16_t kBack = 0x08;
inline constexpr std::uint16_t kTab = 0x09;
inline constexpr std::uint16_t kClear = 0x0C;  // keypad 5 without Num Lock
inline constexpr std::uint16_t kReturn = 0x0D;
inline constexpr std::uint16_t kShift = 0x10;
inline constexpr std::uint16_t kControl = 0x11;
inline constexpr std::uint16_t kMenu = 0x12;  // Alt
inline constexpr std::uint16_t kCapital = 0x14;
inline constexpr std::uint16_t kEscape = 0x1B;
inline constexpr std::uint16_t kSpace = 0x20;
inline constexpr std::uint16_t kPageUp = 0x21;
inline constexpr std::uint16_t kPageDown = 0x22;
inline constexpr std::uint16_t kEnd = 0x23;
inline constexpr std::uint16_t kHome = 0x24;
inline constexpr std::uint16_t kLeft = 0x25;
inline constexpr std::uint16_t kUp = 0x26;
inline constexpr std::uint16_t kRight = 0x27;
inline constexpr std::uint16_t kDown = 0x28;
inline constexpr std::uint16_t kInsert = 0x2D;
inline constexpr std::uint16_t kDelete = 0x2E;
inline constexpr std::uint16_t kNumpad0 = 0x60;
inline constexpr std::uint16_t kNumpad9 = 0x69;
inline constexpr std::uint16_t kMultiply = 0x6A;  // keypad *
inline constexpr std::uint16_t kAdd = 0x6B;       // keypad +
inline constexpr std::uint16_t kSubtract = 0x6D;  // keypad -
inline constexpr std::uint16_t kDecimal = 0x6E;   // keypad .
inline constexpr std::uint16_t kDivide = 0x6F;    // keypad /
inline constexpr std::uint16_t kF1 = 0x70;        // F1..F12 follow one another
inline constexpr std::uint16_t kF11 = 0x7A;
inline constexpr std::uint16_t kNumLock = 0x90;
inline constexpr std::uint16_t kScroll = 0x91;
// Punctuation keys of a US keyboard.
inline constexpr std::uint16_t kSemicolon = 0xBA;
inline constexpr std::uint16_t kEquals = 0xBB;
inline constexpr std::uint16_t kComma = 0xBC;
inline constexpr std::uint16_t kMinus = 0xBD;
inline constexpr std::uint16_t kPeriod = 0xBE;
inline constexpr std::uint16_t kSlash = 0xBF;
inline constexpr std::uint16_t kGrave = 0xC0;
inline constexpr std::uint16_t kLeftBracket = 0xDB;
inline constexpr std::uint16_t kBackslash = 0xDC;
inline constexpr std::uint16_t kRightBracket = 0xDD;
inline constexpr std::uint16_t kQuote = 0xDE;
}  // namespace vk

namespace scan {
inline constexpr std::uint8_t kEscape = 0x01;
inline constexpr std::uint8_t k1 = 0x02, k2 = 0x03, k3 = 0x04, k4 = 0x05, k5 = 0x06, k6 = 0x07,
                              k7 = 0x08, k8 = 0x09, k9 = 0x0A, k0 = 0x0B;
inline constexpr std::uint8_t kMinus = 0x0C;
inline constexpr std::uint8_t kEquals = 0x0D;
inline constexpr std::uint8_t kBackspace = 0x0E;
inline constexpr std::uint8_t kTab = 0x0F;
inline constexpr std::uint8_t kQ = 0x10;  // first of the row Q..P
inline constexpr std::uint8_t kLeftBracket = 0x1A;
inline constexpr std::uint8_t kRightBracket = 0x1B;
inline constexpr std::uint8_t kEnter = 0x1C;  // also keypad Enter
inline constexpr std::uint8_t kA = 0x1E;      // first of the row A..L
inline constexpr std::uint8_t kSemicolon = 0x27;
inline constexpr std::uint8_t kQuote = 0x28;
inline constexpr std::uint8_t kGrave = 0x29;
inline constexpr std::uint8_t kLeftShift = 0x2A;
inline constexpr std::uint8_t kBackslash = 0x2B;
inline constexpr std::uint8_t kZ = 0x2C;  // first of the row Z..M
inline constexpr std::uint8_t kComma = 0x33;
inline constexpr std::uint8_t kPeriod = 0x34;
inline constexpr std::uint8_t kSlash = 0x35;  // also keypad /
inline constexpr std::uint8_t kKeypadStar = 0x37;
inline constexpr std::uint8_t kAlt = 0x38;
inline constexpr std::uint8_t kSpace = 0x39;
inline constexpr std::uint8_t kF1 = 0x3B;  // F1..F10 follow one another
inline constexpr std::uint8_t kF10 = 0x44;
// The keypad's keys, which the grey cursor and editing keys share.
inline constexpr std::uint8_t kHome = 0x47;
inline constexpr std::uint8_t kUp = 0x48;
inline constexpr std::uint8_t kPageUp = 0x49;
inline constexpr std::uint8_t kKeypadMinus = 0x4A;
inline constexpr std::uint8_t kLeft = 0x4B;
inline constexpr std::uint8_t kKeypad5 = 0x4C;
inline constexpr std::uint8_t kRight = 0x4D;
inline constexpr std::uint8_t kKeypadPlus = 0x4E;
inline constexpr std::uint8_t kEnd = 0x4F;
inline constexpr std::uint8_t kDown = 0x50;
inline constexpr std::uint8_t kPageDown = 0x51;
inline constexpr std::uint8_t kInsert = 0x52;
inline constexpr std::uint8_t kDelete = 0x53;
inline constexpr std::uint8_t kF11 = 0x57;
inline constexpr std::uint8_t kF12 = 0x58;
}  // namespace scan

// Extended codes: what READKEY returns after the 0 of an extended key.
// Without a modifier, or with Shift only, the cursor and editing keys and
// F1..F10 keep their scan codes; the codes that differ are named here.
// A range (F1..F10, the top row) continues from its first code.
namespace ext {
inline constexpr std::uint8_t kHome = scan::kHome;
inline constexpr std::uint8_t kLeft = scan::kLeft;
inline constexpr std::uint8_t kRight = scan::kRight;
inline constexpr std::uint8_t kEnd = scan::kEnd;
inline constexpr std::uint8_t kF11 = 0x85;
inline constexpr std::uint8_t kShiftF1 = 0x54;
inline constexpr std::uint8_t kShiftF11 = 0x87;
inline constexpr std::uint8_t kCtrlF1 = 0x5E;
inline constexpr std::uint8_t kCtrlF11 = 0x89;
inline constexpr std::uint8_t kCtrlTab = 0x94;
inline constexpr std::uint8_t kCtrlKeypadSlash = 0x95;
inline constexpr std::uint8_t kCtrlKeypadStar = 0x96;
// Ctrl with the keypad's keys, in scan-code order from Home to Delete.
inline constexpr std::uint8_t kCtrlHome = 0x77, kCtrlUp = 0x8D, kCtrlPageUp = 0x84,
                              kCtrlKeypadMinus = 0x8E, kCtrlLeft = 0x73, kCtrlKeypad5 = 0x8F,
                              kCtrlRight = 0x74, kCtrlKeypadPlus = 0x4E, kCtrlEnd = 0x75,
                              kCtrlDown = 0x91, kCtrlPageDown = 0x76, kCtrlInsert = 0x92,
                              kCtrlDelete = 0x93;
inline constexpr std::uint8_t kAlt1 = 0x78;  // Alt with the top row 1 .. =
inline constexpr std::uint8_t kAltEnter = 0xA6;
inline constexpr std::uint8_t kAltKeypadSlash = 0xA4;
inline constexpr std::uint8_t kAltF1 = 0x68;
// Alt with the cursor and editing keys, in scan-code order from Home.
inline constexpr std::uint8_t kAltHome = 0x97;
inline constexpr std::uint8_t kAltF11 = 0x8B;
}  // namespace ext

}  // namespace console
