// The software extended real's operations one by one, and the arithmetic of
// one plotting step, each beside the same on the x87, in ns per operation.
// Latencies are timed on dependent chains, as the plotting loop has them;
// the step draws its targets in a fixed pseudo-random order, so that the
// signs vary as in the real figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "services/runtime/real/soft_extended.hpp"

namespace {

using runtime::SoftDivisor;
using runtime::SoftExtended;

#if defined(__x86_64__) || defined(__i386__)
#define SOFT_OPS_X87 1
#else
#define SOFT_OPS_X87 0
#endif

// The six-point figure's numbers in either type.
template <typename T>
struct Numbers;

template <>
struct Numbers<SoftExtended> {
  using Divisor = SoftDivisor;
  static SoftExtended of(double d) { return SoftExtended(d); }
  static Divisor six() {
    return SoftDivisor(SoftExtended::from_bits(0x4001, 0xC000'0000'0000'0000));
  }
  static Divisor three_oh_two() {  // 3.02 rounded to extended
    return SoftDivisor(SoftExtended::from_bits(0x4000, 0xC147'AE14'7AE1'47AE));
  }
  static std::int32_t round(SoftExtended x) { return runtime::to_int32_nearest(x); }
  static std::int32_t add_round(SoftExtended x, std::int32_t k) {
    return runtime::add_to_int32_nearest(x, k);
  }
};

#if SOFT_OPS_X87
template <>
struct Numbers<long double> {
  using Divisor = long double;
  static long double of(double d) { return d; }
  static Divisor six() { return 6.0L; }
  static Divisor three_oh_two() { return 3.02L; }
  static std::int32_t round(long double x) {  // with ROUND's range check
    if (!(x >= -2147483648.5L && x < 2147483647.5L)) std::abort();
    std::int32_t r;
    __asm__("fistpl %0" : "=m"(r) : "t"(x) : "st");
    return r;
  }
  static std::int32_t add_round(long double x, std::int32_t k) { return round(x + k); }
};
#endif

constexpr std::size_t kIndices = 4096;  // a power of two

const std::vector<std::uint8_t>& target_indices() {
  static const std::vector<std::uint8_t> indices = [] {
    std::mt19937 random(20261208);
    std::vector<std::uint8_t> v(kIndices);
    for (auto& i : v) i = static_cast<std::uint8_t>(random() % 6);
    return v;
  }();
  return indices;
}

template <typename T>
void add_latency(benchmark::State& state) {
  using N = Numbers<T>;
  const T steps[2] = {N::of(1234.567), N::of(-1234.5)};
  T x = N::of(0.25);
  unsigned i = 0;
  for (auto _ : state) {
    x = x + steps[i & 1];
    ++i;
    benchmark::DoNotOptimize(i);
  }
  benchmark::DoNotOptimize(x);
}

template <typename T>
void divide_latency(benchmark::State& state) {
  using N = Numbers<T>;
  const typename N::Divisor d = N::six();
  const T start = N::of(1.0e300);
  T x = start;
  unsigned i = 0;
  for (auto _ : state) {
    x = x / d;
    // Back to the start before the quotients get tiny: 6^256 < 10^200.
    if ((++i & 255) == 0) x = start;
  }
  benchmark::DoNotOptimize(x);
}

template <typename T>
void round_throughput(benchmark::State& state) {
  using N = Numbers<T>;
  T values[64];
  for (int k = 0; k < 64; ++k) values[k] = N::of(k * 13.37 - 400.25);
  unsigned i = 0;
  std::int32_t sum = 0;
  for (auto _ : state) {
    sum += N::round(values[i & 63]);
    ++i;
  }
  benchmark::DoNotOptimize(sum);
}

// X := (XX + X) / 6, the targets in a fixed order: the dependent chain.
template <typename T>
void chain(benchmark::State& state) {
  using N = Numbers<T>;
  const typename N::Divisor d = N::six();
  const T targets[6] = {N::of(0), N::of(-1600), N::of(1600), N::of(0), N::of(-800), N::of(800)};
  T x = N::of(0);
  unsigned i = 0;
  for (auto _ : state) {
    x = (targets[i] + x) / d;
    i = i == 5 ? 0 : i + 1;
  }
  benchmark::DoNotOptimize(x);
}

// One plotting step's arithmetic: both coordinates moved toward a drawn
// target, then each rounded to its pixel after its screen offset (kFused:
// both in one call).
template <typename T, bool kSix, bool kFused = false>
void step(benchmark::State& state) {
  using N = Numbers<T>;
  const typename N::Divisor d = kSix ? N::six() : N::three_oh_two();
  const double h = 1600 * 1.7320508075688772936 / 2, q = h / 2;
  const T xx[6] = {N::of(0), N::of(-1600), N::of(1600), N::of(0), N::of(-800), N::of(800)};
  const T yy[6] = {N::of(-h), N::of(h), N::of(h), N::of(q), N::of(-q), N::of(-q)};
  const T kx = N::of(512), ky = N::of(384);
  const std::uint8_t* indices = target_indices().data();
  T x = N::of(0), y = N::of(0);
  std::size_t i = 0;
  std::int32_t sum = 0;
  for (auto _ : state) {
    const unsigned t = indices[i];
    i = (i + 1) & (kIndices - 1);
    x = (xx[t] + x) / d;
    y = (yy[t] + y) / d;
    if constexpr (kFused)
      sum += N::add_round(y, 384) ^ N::add_round(x, 512);
    else
      sum += N::round(y + ky) ^ N::round(x + kx);
  }
  benchmark::DoNotOptimize(sum);
}

BENCHMARK(add_latency<SoftExtended>)->Name("soft add");
BENCHMARK(divide_latency<SoftExtended>)->Name("soft divide by 6");
BENCHMARK(round_throughput<SoftExtended>)->Name("soft to_int32_nearest");
BENCHMARK(chain<SoftExtended>)->Name("soft chain");
BENCHMARK(step<SoftExtended, true>)->Name("soft step, divisor 6");
BENCHMARK(step<SoftExtended, false>)->Name("soft step, divisor 3.02");
BENCHMARK(step<SoftExtended, true, true>)->Name("soft step, divisor 6, fused rounding");
BENCHMARK(step<SoftExtended, false, true>)->Name("soft step, divisor 3.02, fused rounding");
#if SOFT_OPS_X87
BENCHMARK(add_latency<long double>)->Name("x87 add");
BENCHMARK(divide_latency<long double>)->Name("x87 divide by 6");
BENCHMARK(round_throughput<long double>)->Name("x87 to_int32_nearest");
BENCHMARK(chain<long double>)->Name("x87 chain");
BENCHMARK(step<long double, true>)->Name("x87 step, divisor 6");
BENCHMARK(step<long double, false>)->Name("x87 step, divisor 3.02");
#endif

}  // namespace

BENCHMARK_MAIN();
