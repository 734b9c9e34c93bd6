// Test-only program: starts like the real programs, then does one
// operation of the software extended real that faults under FPUCW, named by
// its argument, so that the run-time error and its report can be checked
// from outside. "masked" does the masked forms of such operations and ends
// normally. Usage: soft_fault_probe <mode>
//
// Lines marked "LINE:<name>" are looked up by the tests to check that the
// report's addresses name them.
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "services/runtime/real/soft_extended.hpp"
#include "services/runtime/startup.hpp"

namespace {

using runtime::SoftExtended;

// Read at run time, so that nothing is worked out by the compiler.
volatile std::uint16_t largest_exponent = 0x7FFE;
volatile std::uint64_t all_ones = ~std::uint64_t{0};
volatile double zero_double = 0.0;
volatile std::uint64_t sink_significand;
volatile int sink_int;

SoftExtended largest() { return SoftExtended::from_bits(largest_exponent, all_ones); }
SoftExtended infinity() {
  return SoftExtended::from_bits(largest_exponent + 1, runtime::kSoftIntegerBit);
}
SoftExtended zero() { return SoftExtended(zero_double); }
void keep(SoftExtended x) { sink_significand = x.significand; }

[[gnu::noinline]] void add_overflow() {
  keep(largest() + largest());  // LINE:add
}

[[gnu::noinline]] void multiply_overflow() {
  keep(largest() * largest());  // LINE:mul
}

[[gnu::noinline]] void divide_by_zero() {
  keep(SoftExtended(1.0) / zero());  // LINE:div
}

[[gnu::noinline]] void divide_by_zero_divisor() {
  const runtime::SoftDivisor none(zero());
  keep(largest() / none);  // LINE:divisor
}

[[gnu::noinline]] void subtract_infinities() {
  keep(infinity() - infinity());  // LINE:sub
}

[[gnu::noinline]] void compare_nan() {
  const SoftExtended nan = runtime::kSoftDefaultNaN;
  sink_int = nan < SoftExtended(1.0) + zero();  // LINE:less
}

[[gnu::noinline]] void round_out_of_range() {
  sink_int = runtime::to_int32_nearest(SoftExtended(2147483647.5) + zero());  // LINE:round
}

// A coordinate's sum and rounding in one, out of range only after the add.
[[gnu::noinline]] void add_round_out_of_range() {
  const SoftExtended x = SoftExtended(2147483000.0) + zero();
  sink_int = runtime::add_to_int32_nearest(x, 1000);  // LINE:addround
}

[[gnu::noinline]] void signalling_double() {
  volatile std::uint64_t bits = 0x7FF0'0000'0000'0001;
  const std::uint64_t b = bits;
  keep(SoftExtended(__builtin_bit_cast(double, b)));  // LINE:double
}

// The same faults masked: quiet results, no error.
[[gnu::noinline]] void masked() {
  unsigned flags = 0;
  keep(runtime::add_flagged(infinity(), -infinity(), flags));
  keep(runtime::mul_flagged(largest(), largest(), flags));
  keep(runtime::sub_flagged(infinity(), infinity(), flags));
  sink_int = static_cast<int>(runtime::to_int64_truncated_masked(infinity()));
  sink_int = runtime::kSoftDefaultNaN == runtime::kSoftDefaultNaN;  // quiet: no fault
}

struct Mode {
  const char* name;
  void (*run)();
};

constexpr Mode kModes[] = {
    {"add-overflow", add_overflow},
    {"multiply-overflow", multiply_overflow},
    {"divide-by-zero", divide_by_zero},
    {"divide-by-zero-divisor", divide_by_zero_divisor},
    {"subtract-infinities", subtract_infinities},
    {"compare-nan", compare_nan},
    {"round-out-of-range", round_out_of_range},
    {"add-round-out-of-range", add_round_out_of_range},
    {"signalling-double", signalling_double},
    {"masked", masked},
};

const Mode* mode = nullptr;
volatile int after;

[[gnu::noinline]] void main_program() {
  mode->run();  // LINE:call-case
  after = 0;    // not a tail call: the main program keeps its frame
}

}  // namespace

int main(int argc, char** argv) {
  for (const Mode& m : kModes)
    if (argc >= 2 && std::string_view(argv[1]) == m.name) mode = &m;
  if (mode == nullptr) {
    std::fprintf(stderr, "usage: soft_fault_probe MODE\n");
    return 2;
  }
  runtime::run_program(main_program);
}
