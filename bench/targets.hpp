#pragma once
// The loop's speed targets, shared by the Linux and the Windows benchmarks.
namespace bench {

// As multiples of the floor (SORSOL + YKOORD + XKOORD).
constexpr double KEYPRESSED_LIMIT = 0.1;
constexpr double PUTPIXEL_LIMIT = 0.75;
constexpr double LOOP_LIMIT = 2.0;

}  // namespace bench
