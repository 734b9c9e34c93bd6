#pragma once
// Whether an x86 instruction is one that only the kernel may run: the fault
// filters of 32- and 64-bit x86 tell these apart from general protection
// faults on an address, which the kernel reports the same way.
#include <cstdint>

namespace runtime::platform {

// `code` points at the instruction, with at least 15 bytes readable;
// `rex`: 64-bit code, where 0x40..0x4F is a prefix (in 32-bit code it is
// inc or dec).
inline bool privileged_x86(const std::uint8_t* code, bool rex) {
  constexpr int kMaxInstruction = 15;
  int i = 0;
  // Legacy prefixes, then a REX prefix.
  while (i < kMaxInstruction - 2 &&
         (code[i] == 0x26 || code[i] == 0x2E || code[i] == 0x36 || code[i] == 0x3E ||
          code[i] == 0x64 || code[i] == 0x65 || code[i] == 0x66 || code[i] == 0x67 ||
          code[i] == 0xF2 || code[i] == 0xF3))
    ++i;
  if (rex && (code[i] & 0xF0) == 0x40) ++i;
  switch (code[i]) {
    case 0xF4:  // hlt
    case 0xFA:  // cli
    case 0xFB:  // sti
    case 0x6C: case 0x6D: case 0x6E: case 0x6F:  // ins, outs
    case 0xE4: case 0xE5: case 0xE6: case 0xE7:  // in, out with a port number
    case 0xEC: case 0xED: case 0xEE: case 0xEF:  // in, out through dx
      return true;
    case 0x0F:
      switch (code[i + 1]) {
        case 0x00:  // lldt, ltr
        case 0x01:  // lgdt, lidt, lmsw, invlpg, swapgs, ...
        case 0x06:  // clts
        case 0x07:  // sysret
        case 0x08:  // invd
        case 0x09:  // wbinvd
        case 0x20: case 0x21: case 0x22: case 0x23:  // mov to or from control and debug registers
        case 0x30:  // wrmsr
        case 0x32:  // rdmsr
        case 0x35:  // sysexit
          return true;
        default: return false;
      }
    default: return false;
  }
}

}  // namespace runtime::platform
