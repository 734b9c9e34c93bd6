#pragma once
// The loop's speed targets, shared by the Linux and the Windows benchmarks,
// as multiples of the chain: X := (T + X) / D with the point in a register,
// one 80-bit add and one divide, which no step can beat. Against the chain
// a limit stays where it is when the code around the chain gets faster;
// against the floor (itself a measured figure) it would tighten with it.
// Each leaves the slowest build (32-bit, under Wine) a fifth or more of
// margin, also on a busy machine.
namespace bench {

// The arithmetic of a point (SORSOL + YKOORD + XKOORD): the chain, the draw
// and the two coordinates' rounding and range checks: 2.7 to 3.3 chains.
constexpr double FLOOR_LIMIT = 4.0;
// KEYPRESSED with nothing pending: a flag's load and a test, no call into
// the system: 0.4 to 0.6 chains natively and in 64-bit code, 0.85 in
// 32-bit code.
constexpr double KEYPRESSED_LIMIT = 1.5;
// PUTPIXEL with the figure's pixels: a clip, a store and a tile mark: 0.9
// to 1.2 chains.
constexpr double PUTPIXEL_LIMIT = 2.0;
// The whole loop step, the floor and the two calls above: 4.3 to 4.8
// chains natively and in 64-bit code, 5.5 to 5.7 in 32-bit code.
constexpr double LOOP_LIMIT = 7.0;

}  // namespace bench
