#pragma once
// GRAIN_KEEP_FRAME marks a routine that the run-time error report must see
// as a frame of its own: never inlined, cloned or specialised. GCC says so
// with noipa; clang has no such attribute, and keeps the frame of a routine
// it may not inline.
#if defined(__clang__)
#define GRAIN_KEEP_FRAME [[gnu::noinline]]
#else
#define GRAIN_KEEP_FRAME [[gnu::noipa]]
#endif
