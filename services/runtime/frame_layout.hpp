#pragma once
// Where a routine's frame address (__builtin_frame_address(0); every routine
// has one, frame pointers being kept) holds the link to its caller's frame
// and its own return address: the one per-processor fact the frame walk of
// the run-time error report needs. The links of a chain all point at the
// same place of their frames, so a walk goes from link to link.
#include <algorithm>
#include <cstddef>

namespace runtime::frame {

#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || \
    (defined(__arm__) && defined(__clang__))
// The record [saved frame link, return address] at the frame address.
inline constexpr int kLinkWord = 0;
inline constexpr int kReturnWord = 1;
inline constexpr bool kReturnInCaller = false;
#elif defined(__arm__)
// GCC in ARM state: the frame pointer points at the saved link register
// (the return address), the saved frame pointer is the word below it.
inline constexpr int kLinkWord = -1;
inline constexpr int kReturnWord = 0;
inline constexpr bool kReturnInCaller = false;
#elif defined(__powerpc64__)
// The back chain: the frame address is the stack pointer, which points at
// the caller's; a routine saves its return address in its caller's frame,
// in the link register save doubleword (16 bytes up). Every frame has that
// header of four doublewords.
inline constexpr int kLinkWord = 0;
inline constexpr int kReturnWord = 2;
inline constexpr bool kReturnInCaller = true;
#elif defined(__s390x__)
// With -mbackchain the frame address is the stack pointer the routine was
// called with: the caller's back chain word, then the register save area
// where the routine saved r6..r15, its return address (r14) among them.
inline constexpr int kLinkWord = 0;
inline constexpr int kReturnWord = 14;
inline constexpr bool kReturnInCaller = false;
#elif defined(__wasm__)
// WebAssembly keeps its return addresses out of memory: no chain to walk
// (platform_web.cpp's frame_on_stack is always false). The words named
// here are only ever read, harmlessly, by RUNTIME_CALLER_FRAME.
inline constexpr int kLinkWord = 0;
inline constexpr int kReturnWord = 1;
inline constexpr bool kReturnInCaller = false;
#else
#error "no frame layout for this processor"
#endif

// The words of a frame that a walk reads: [kFirstWord, kLastWord] from its
// frame address (with kReturnInCaller, those of the caller's frame hold
// the return address, read once that frame has been checked in turn).
inline constexpr int kFirstWord = std::min(kLinkWord, kReturnWord);
inline constexpr int kLastWord = std::max(kLinkWord, kReturnWord);

// The caller's frame address, read from the frame at `frame`.
inline const void* caller(const void* frame) {
  return static_cast<const void* const*>(frame)[kLinkWord];
}

// The return address into the caller of the routine whose frame is at
// `frame`; `caller_frame` is caller(frame).
inline const void* return_address(const void* frame, const void* caller_frame) {
  return static_cast<const void* const*>(kReturnInCaller ? caller_frame : frame)[kReturnWord];
}

// Bytes from a frame address to the first word read there (may be
// negative), and the count of bytes read.
inline constexpr std::ptrdiff_t kReadOffset = kFirstWord * static_cast<std::ptrdiff_t>(sizeof(void*));
inline constexpr std::size_t kReadSize = (kLastWord - kFirstWord + 1) * sizeof(void*);

}  // namespace runtime::frame
