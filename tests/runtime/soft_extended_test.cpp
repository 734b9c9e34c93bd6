// The software extended real against the x87 itself: every operation, bit
// for bit, with the exceptions the x87 raises, on chosen operands (every
// class and boundary) and on millions of random ones. The x87 runs with the
// start-up control word's precision and rounding but every exception masked,
// and its status word says which faults FPUCW would have turned into errors.
// More random operands: GRAIN_SOFT_OPERANDS=<count per case>.
#include "services/runtime/real/soft_extended.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "services/runtime/system.hpp"

#if defined(__x86_64__) || defined(__i386__)
#define HAVE_X87 1
#include "services/runtime/real/fpu.hpp"
#else
#define HAVE_X87 0
#endif

// The build with the 64-bit halves gets suites of its own name.
#if GRAIN_WIDE_HALVES
#define SOFT_SUITE(name) name##Halves
#else
#define SOFT_SUITE(name) name
#endif

namespace {

using runtime::SoftDivisor;
using runtime::SoftExtended;
using runtime::SoftOrder;
using runtime::SoftRound;

constexpr unsigned kFaults = runtime::kSoftUnmasked;

// The figures' constants, from their bits: sqrt(3) and 3.02 rounded to
// extended (1.7320508075688772936 and 3.02), and the divisor 6.
constexpr SoftExtended kSoftSqrt3 = SoftExtended::from_bits(0x3FFF, 0xDDB3'D742'C265'539E);
constexpr SoftExtended kSoft302 = SoftExtended::from_bits(0x4000, 0xC147'AE14'7AE1'47AE);
constexpr SoftExtended kSoftSix = SoftExtended::from_bits(0x4001, 0xC000'0000'0000'0000);

[[maybe_unused]] std::string show(SoftExtended x) {
  std::ostringstream s;
  s << std::hex << std::setfill('0') << std::setw(4) << x.sign_exponent << ':' << std::setw(16)
    << x.significand;
  return s.str();
}

[[maybe_unused]] bool same(SoftExtended a, SoftExtended b) {
  return a.sign_exponent == b.sign_exponent && a.significand == b.significand;
}

SoftExtended bits(std::uint16_t se, std::uint64_t m) { return SoftExtended::from_bits(se, m); }

[[maybe_unused]] std::size_t operand_count(std::size_t fallback) {
  if (const char* v = std::getenv("GRAIN_SOFT_OPERANDS")) return std::strtoull(v, nullptr, 10);
  return fallback;
}

// ---------------------------------------------------------------- the x87

struct X87 {
  SoftExtended value;
  unsigned flags;  // status word exception bits
};

#if HAVE_X87

// Runs the test's x87 operations under FPUCW with every exception masked.
class Masked : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = runtime::fpu::control_word();
    runtime::fpu::reset_and_load(runtime::FPUCW | 0x3F);
  }
  void TearDown() override { runtime::fpu::reset_and_load(saved_); }

 private:
  std::uint16_t saved_ = 0;
};

#define X87_CLOBBERS "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

// a op b with a on top of the stack: "fsub %st(1), %st" is st(0) - st(1).
#define X87_BINARY(name, instruction)                                              \
  [[gnu::noinline]] X87 name(SoftExtended a, SoftExtended b) {                     \
    SoftExtended r;                                                                \
    std::uint16_t status;                                                          \
    __asm__ volatile("fnclex\n\tfldt %[b]\n\tfldt %[a]\n\t" instruction            \
                     " %%st(1), %%st\n\tfstpt %[r]\n\tfstp %%st(0)\n\tfnstsw %[s]" \
                     : [r] "=m"(r), [s] "=m"(status)                               \
                     : [a] "m"(a), [b] "m"(b)                                      \
                     : X87_CLOBBERS);                                              \
    return {r, status & 0x3Fu};                                                    \
  }

X87_BINARY(x87_add, "fadd")
X87_BINARY(x87_sub, "fsub")
X87_BINARY(x87_mul, "fmul")
X87_BINARY(x87_div, "fdiv")

struct X87Order {
  SoftOrder order;
  unsigned flags;
};

// fcomi / fucomi of a with b, as the compiler's code for long double does.
[[gnu::noinline]] X87Order x87_compare(SoftExtended a, SoftExtended b, bool signalling) {
  bool below, equal, unordered;
  std::uint16_t status;
  if (signalling)
    __asm__ volatile(
        "fnclex\n\tfldt %[b]\n\tfldt %[a]\n\tfcomip %%st(1), %%st\n\tfstp %%st(0)\n\t"
        "fnstsw %[s]"
        : "=@ccc"(below), "=@ccz"(equal), "=@ccp"(unordered), [s] "=m"(status)
        : [a] "m"(a), [b] "m"(b)
        : X87_CLOBBERS);
  else
    __asm__ volatile(
        "fnclex\n\tfldt %[b]\n\tfldt %[a]\n\tfucomip %%st(1), %%st\n\tfstp %%st(0)\n\t"
        "fnstsw %[s]"
        : "=@ccc"(below), "=@ccz"(equal), "=@ccp"(unordered), [s] "=m"(status)
        : [a] "m"(a), [b] "m"(b)
        : X87_CLOBBERS);
  const SoftOrder o = unordered ? SoftOrder::unordered
                      : equal   ? SoftOrder::equal
                      : below   ? SoftOrder::less
                                : SoftOrder::greater;
  return {o, status & 0x3Fu};
}

template <typename Int>
struct X87Int {
  Int value;
  unsigned flags;
};

#define X87_TO_INT(name, Int, instruction)                                        \
  [[gnu::noinline]] X87Int<Int> name(SoftExtended a) {                            \
    Int r;                                                                        \
    std::uint16_t status;                                                         \
    __asm__ volatile("fnclex\n\tfldt %[a]\n\t" instruction " %[r]\n\tfnstsw %[s]" \
                     : [r] "=m"(r), [s] "=m"(status)                              \
                     : [a] "m"(a)                                                 \
                     : X87_CLOBBERS);                                             \
    return {r, status & 0x3Fu};                                                   \
  }

X87_TO_INT(x87_int32_nearest, std::int32_t, "fistpl")
X87_TO_INT(x87_int64_nearest, std::int64_t, "fistpll")
X87_TO_INT(x87_int32_truncated, std::int32_t, "fisttpl")
X87_TO_INT(x87_int64_truncated, std::int64_t, "fisttpll")

#define X87_FROM(name, Type, instruction)                                          \
  [[gnu::noinline]] X87 name(Type v) {                                             \
    SoftExtended r;                                                                \
    std::uint16_t status;                                                          \
    __asm__ volatile("fnclex\n\t" instruction " %[v]\n\tfstpt %[r]\n\tfnstsw %[s]" \
                     : [r] "=m"(r), [s] "=m"(status)                               \
                     : [v] "m"(v)                                                  \
                     : X87_CLOBBERS);                                              \
    return {r, status & 0x3Fu};                                                    \
  }

X87_FROM(x87_from_double, double, "fldl")
X87_FROM(x87_from_int32, std::int32_t, "fildl")
X87_FROM(x87_from_int64, std::int64_t, "fildll")

SoftExtended from_long_double(long double x) {
  std::uint64_t m;
  std::uint16_t se;
  std::memcpy(&m, &x, 8);
  std::memcpy(&se, reinterpret_cast<const char*>(&x) + 8, 2);
  return bits(se, m);
}

#define REQUIRE_X87() (void)0

#else

class Masked : public ::testing::Test {};
#define REQUIRE_X87() GTEST_SKIP() << "no x87 on this processor to compare with"

#endif

// One fixture per group of cases, each under the masked word.
class SOFT_SUITE(SoftArithmetic) : public Masked {};
class SOFT_SUITE(SoftConstantDivision) : public Masked {};
class SOFT_SUITE(SoftComparison) : public Masked {};
class SOFT_SUITE(SoftConversion) : public Masked {};
class SOFT_SUITE(SoftConstants) : public Masked {};

// ---------------------------------------------------------------- operands

// Every class and boundary of the format.
std::vector<SoftExtended> chosen_operands() {
  const std::uint64_t top = runtime::kSoftIntegerBit, ones = ~std::uint64_t{0};
  std::vector<SoftExtended> v;
  const SoftExtended magnitudes[] = {
      bits(0, 0),          // zero
      bits(0, 1),          // smallest denormal
      bits(0, 0x3),        // denormal, odd
      bits(0, ones >> 1),  // largest denormal
      bits(0, top >> 1),   // denormal
      bits(0, top),        // pseudo-denormal
      bits(0, top | 5),    // pseudo-denormal
      bits(1, top),        // smallest normal
      bits(1, top | 1),
      bits(1, ones),
      bits(2, top),
      bits(0x7FFE, ones),  // largest normal
      bits(0x7FFE, top),
      bits(0x7FFD, ones),
      bits(0x3FFF, top),                             // 1
      bits(0x3FFF, top | 1),                         // 1 + ulp
      bits(0x3FFE, ones),                            // 1 - ulp/2
      bits(0x3FFF, ones),                            // 2 - ulp
      bits(0x3FFF, top | (top >> 1)),                // 1.5
      bits(0x4000, top | (top >> 2)),                // 2.5
      bits(0x4000, top),                             // 2
      bits(0x4000, top | (top >> 1)),                // 3
      bits(0x3FBF, top),                             // 2^-64: half an ulp of 1
      bits(0x3FBE, top),                             // 2^-65
      bits(0x3FC0, top),                             // 2^-63
      bits(0x3FBF, top | 1),                         // just above half an ulp of 1
      bits(0x3FFE, top),                             // 0.5
      bits(0x401E, top),                             // 2^31
      bits(0x401E, top | (std::uint64_t{1} << 32)),  // 2^31 + 1
      bits(0x401D, ones << 33),                      // 2^31 - 1
      bits(0x401D, ones << 32),                      // 2^31 - 0.5
      bits(0x401E, top | (std::uint64_t{1} << 31)),  // 2^31 + 0.5
      bits(0x403E, top),                             // 2^63
      bits(0x403E, top | 1),                         // 2^63 + 1
      bits(0x403D, ones),                            // 2^63 - 1
      bits(0x403D, ones - 1),                        // 2^63 - 1.5 .. (odd: a tie below)
      bits(0x403F, top),                             // 2^64
      kSoftSqrt3,
      kSoft302,
      kSoftSix,
      bits(0x7FFF, top),               // infinity
      bits(0x7FFF, top | (top >> 1)),  // quiet NaN (the default NaN's significand)
      bits(0x7FFF, top | (top >> 1) | 0x1234),
      bits(0x7FFF, ones),
      bits(0x7FFF, top | 1),  // signalling NaN
      bits(0x7FFF, top | 0x1234),
      bits(0x7FFF, top | (top >> 2)),
      bits(0x7FFF, 0),         // pseudo-infinity
      bits(0x7FFF, top >> 1),  // pseudo-NaN
      bits(0x3FFF, top >> 1),  // unnormal
      bits(0x0001, 1),         // unnormal
  };
  for (const SoftExtended& m : magnitudes) {
    v.push_back(m);
    v.push_back(-m);
  }
  return v;
}

class Operands {
 public:
  explicit Operands(std::uint64_t seed) : g_(seed) {}

  // Random bits of every class, weighted toward the interesting exponents.
  SoftExtended any() {
    const std::uint64_t r = g_();
    std::uint16_t e;
    switch (r % 16) {
      case 0:
        e = 0;
        break;
      case 1:
        e = 0x7FFF;
        break;
      case 2:
        e = static_cast<std::uint16_t>(1 + (r >> 8) % 80);
        break;
      case 3:
        e = static_cast<std::uint16_t>(0x7FFE - (r >> 8) % 80);
        break;
      case 4:
      case 5:
      case 6:
      case 7:
      case 8:
        e = static_cast<std::uint16_t>(runtime::kSoftBias - 70 + (r >> 8) % 140);
        break;
      default:
        e = static_cast<std::uint16_t>((r >> 8) & 0x7FFF);
        break;
    }
    std::uint64_t m = g_();
    switch ((r >> 32) % 32) {
      case 0:
        m &= ~runtime::kSoftIntegerBit;
        break;  // unnormal (or denormal)
      case 1:
        m = runtime::kSoftIntegerBit;
        break;
      case 2:
        m = ~std::uint64_t{0};
        break;
      case 3:
        m = runtime::kSoftIntegerBit | (m & 0xFF);
        break;
      case 4:
        m = ~std::uint64_t{0} << (m % 64);
        break;
      default:
        m |= runtime::kSoftIntegerBit;
        break;
    }
    if (e == 0 && (r >> 40) % 4 != 0) m &= ~runtime::kSoftIntegerBit;  // mostly true denormals
    return bits(static_cast<std::uint16_t>(e | ((r >> 63) ? 0x8000 : 0)), m);
  }

  // A finite normal value of moderate size.
  SoftExtended normal() {
    const std::uint64_t r = g_();
    return bits(
        static_cast<std::uint16_t>((runtime::kSoftBias - 40 + r % 80) | ((r >> 63) ? 0x8000 : 0)),
        g_() | runtime::kSoftIntegerBit);
  }

  // Close to x: nearly the same exponent and significand, either sign, so
  // that sums cancel and differences round at every distance.
  SoftExtended near(SoftExtended x) {
    const std::uint64_t r = g_();
    int e = (x.sign_exponent & 0x7FFF) + static_cast<int>(r % 5) - 2;
    if ((r >> 3) % 8 == 0) e += static_cast<int>((r >> 6) % 130) - 65;
    if (e < 1 || e > 0x7FFE) e = x.sign_exponent & 0x7FFF;
    std::uint64_t m = x.significand;
    switch ((r >> 16) % 4) {
      case 0:
        m += (r >> 24) % 64;
        break;
      case 1:
        m -= (r >> 24) % 64;
        break;
      case 2:
        m ^= g_() >> (r >> 24) % 64;
        break;
      default:
        break;
    }
    m |= runtime::kSoftIntegerBit;
    const std::uint16_t sign = (r >> 62) & 1 ? 0x8000 : (x.sign_exponent & 0x8000);
    return bits(static_cast<std::uint16_t>(sign | e), m);
  }

  // A partner for x whose product or quotient lands near the ends of the
  // exponent range (underflow, denormals, overflow).
  SoftExtended extreme_partner(SoftExtended x, bool for_division) {
    const std::uint64_t r = g_();
    const int ex = x.sign_exponent & 0x7FFF;
    const int offset = static_cast<int>(r % 140) - 70;
    const int target = (r >> 8) & 1 ? 0 : 0x7FFF;  // the result's exponent field
    int e = for_division ? ex + runtime::kSoftBias - target + offset
                         : target + runtime::kSoftBias - ex + offset;
    if (e < 1) e = 1;
    if (e > 0x7FFE) e = 0x7FFE;
    return bits(static_cast<std::uint16_t>(e | ((r >> 63) ? 0x8000 : 0)),
                g_() | runtime::kSoftIntegerBit);
  }

  std::uint64_t raw() { return g_(); }

 private:
  std::mt19937_64 g_;
};

// ---------------------------------------------------------------- arithmetic

using Flagged = SoftExtended (*)(SoftExtended, SoftExtended, unsigned&);
using Plain = SoftExtended (*)(SoftExtended, SoftExtended);
using X87Binary = X87 (*)(SoftExtended, SoftExtended);

struct BinaryCase {
  const char* name;
  Flagged flagged;
  Plain under_fpucw;  // the operator, where the x87 would not fault
  X87Binary x87;
};

#if HAVE_X87
const BinaryCase kBinaryCases[] = {
    {"add", runtime::add_flagged, [](SoftExtended a, SoftExtended b) { return a + b; }, x87_add},
    {"sub", runtime::sub_flagged, [](SoftExtended a, SoftExtended b) { return a - b; }, x87_sub},
    {"mul", runtime::mul_flagged, [](SoftExtended a, SoftExtended b) { return a * b; }, x87_mul},
    {"div", runtime::div_flagged, [](SoftExtended a, SoftExtended b) { return a / b; }, x87_div},
};

// Counts mismatches; reports the first few.
class Mismatches {
 public:
  explicit Mismatches(const char* what) : what_(what) {}
  ~Mismatches() { EXPECT_EQ(count_, 0u) << what_ << ": mismatches"; }
  // `detail` (a callable giving the text) runs only on a mismatch.
  template <typename Detail>
  bool check(bool ok, const Detail& detail) {
    if (!ok && count_++ < 10) ADD_FAILURE() << what_ << ": " << detail();
    return ok;
  }

 private:
  const char* what_;
  std::size_t count_ = 0;
};

void check_binary(const BinaryCase& c, SoftExtended a, SoftExtended b, Mismatches& m) {
  const X87 want = c.x87(a, b);
  unsigned flags = 0;
  const SoftExtended got = c.flagged(a, b, flags);
  const auto detail = [&](SoftExtended g, unsigned f) {
    return std::string(c.name) + "(" + show(a) + ", " + show(b) + ") = " + show(g) + " flags " +
           std::to_string(f) + ", x87 " + show(want.value) + " flags " +
           std::to_string(want.flags & kFaults);
  };
  if (!m.check(same(got, want.value) && (flags & kFaults) == (want.flags & kFaults),
               [&] { return std::string(detail(got, flags)); }))
    return;
  if ((want.flags & kFaults) == 0) {
    const SoftExtended plain = c.under_fpucw(a, b);
    m.check(same(plain, want.value), [&] { return std::string("operator " + detail(plain, 0)); });
  }
}
#endif

TEST_F(SOFT_SUITE(SoftArithmetic), ChosenOperandsPairwise) {
  REQUIRE_X87();
#if HAVE_X87
  const std::vector<SoftExtended> v = chosen_operands();
  for (const BinaryCase& c : kBinaryCases) {
    Mismatches m(c.name);
    for (SoftExtended a : v)
      for (SoftExtended b : v) check_binary(c, a, b, m);
  }
#endif
}

TEST_F(SOFT_SUITE(SoftArithmetic), RandomOperandsOfEveryClass) {
  REQUIRE_X87();
#if HAVE_X87
  const std::size_t n = operand_count(200'000);
  for (const BinaryCase& c : kBinaryCases) {
    Operands o(0x5EED'0000 + c.name[0]);
    Mismatches m(c.name);
    for (std::size_t i = 0; i < n; ++i) {
      const SoftExtended a = o.any();
      check_binary(c, a, o.any(), m);
      check_binary(c, a, o.near(a), m);
    }
  }
#endif
}

TEST_F(SOFT_SUITE(SoftArithmetic), NearbyNormalsCancelAndRound) {
  REQUIRE_X87();
#if HAVE_X87
  const std::size_t n = operand_count(200'000);
  for (const BinaryCase& c : kBinaryCases) {
    Operands o(0xCA9C'E100 + c.name[1]);
    Mismatches m(c.name);
    for (std::size_t i = 0; i < n; ++i) {
      const SoftExtended a = o.normal();
      check_binary(c, a, o.near(a), m);
      check_binary(c, a, o.normal(), m);
    }
  }
#endif
}

// Sums and differences at the edges of the quick add: exponents 0 to 67
// apart (the aligned operand's last bit, its guard word, only sticky bits),
// significands that carry across a power of two or borrow below one, the
// bits shifted out exactly half an ulp (ties either way) or next to it,
// nearly equal operands that cancel, and larger exponents at the ends of the
// range where the quick way stops.
TEST_F(SOFT_SUITE(SoftArithmetic), SumsAtEveryAlignmentAndTie) {
  REQUIRE_X87();
#if HAVE_X87
  const std::uint64_t top = runtime::kSoftIntegerBit, ones = ~std::uint64_t{0};
  const std::uint16_t big_exponents[] = {1,   2,   65,  66,     67,     127,    128,
                                         129, 130, 200, 0x3FFF, 0x7FFB, 0x7FFC, 0x7FFD};
  std::mt19937_64 g(0xA11E'6000);
  const std::size_t rounds = operand_count(200'000) / 2000 + 1;
  Mismatches m_add("add"), m_sub("sub");
  for (std::size_t round = 0; round < rounds; ++round)
    for (const std::uint16_t ebig : big_exponents)
      for (unsigned d = 0; d <= 67; ++d) {
        if (d > ebig) break;
        const auto esmall = static_cast<std::uint16_t>(ebig - d);
        const std::uint64_t r = g();
        // The larger: random, a power of two, or all ones.
        std::uint64_t mbig = g() | top;
        if (r % 4 == 0) mbig = top;
        if (r % 4 == 1) mbig = ones;
        // The smaller: its low d + 1 bits (those shifted out, and one more
        // for a carry's shift) half an ulp, a quarter, or either next to it.
        std::uint64_t msmall = g() | top;
        const unsigned low = d < 63 ? d + 1 : 64;
        const std::uint64_t low_mask = low == 64 ? ones : (std::uint64_t{1} << low) - 1;
        const std::uint64_t half = d == 0 || d > 64 ? 0 : std::uint64_t{1} << (d - 1);
        const std::uint64_t patterns[] = {half, half << 1, half >> 1, half + 1, half - 1,
                                          (half << 1) + half, 0, msmall & low_mask};
        msmall = (msmall & ~low_mask) | (patterns[(r >> 8) % 8] & low_mask) | top;
        if ((r >> 12) % 8 == 0) msmall = top;
        if ((r >> 12) % 8 == 1) msmall = ones;
        if ((r >> 12) % 8 == 2 && d <= 1) msmall = mbig - (r >> 16) % 4;  // cancels
        std::uint16_t small_exponent = esmall;
        if (esmall == 0) msmall &= ~top;  // a denormal there
        if ((r >> 20) % 16 == 0) {        // a zero or a denormal, far down
          small_exponent = 0;
          msmall = (r >> 24) % 2 ? 0 : msmall >> ((r >> 26) % 63 + 1);
        }
        const auto sign = [&](int bit) {
          return static_cast<std::uint16_t>((r >> bit) & 1 ? 0x8000 : 0);
        };
        const SoftExtended a = bits(static_cast<std::uint16_t>(sign(40) | ebig), mbig);
        const SoftExtended b = bits(static_cast<std::uint16_t>(sign(41) | small_exponent), msmall);
        for (const auto& [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
          check_binary(kBinaryCases[0], x, y, m_add);
          check_binary(kBinaryCases[1], x, y, m_sub);
        }
      }
#endif
}

TEST_F(SOFT_SUITE(SoftArithmetic), ProductsAndQuotientsAtTheRangeEnds) {
  REQUIRE_X87();
#if HAVE_X87
  const std::size_t n = operand_count(200'000);
  for (const BinaryCase& c : {kBinaryCases[2], kBinaryCases[3]}) {
    Operands o(0xED6E'0000 + c.name[0]);
    Mismatches m(c.name);
    const bool division = c.x87 == x87_div;
    for (std::size_t i = 0; i < n; ++i) {
      const SoftExtended a = o.normal();
      check_binary(c, a, o.extreme_partner(a, division), m);
      // Denormal operands into the same ends.
      const SoftExtended tiny =
          bits(static_cast<std::uint16_t>(o.raw() & 0x8000), o.raw() >> (o.raw() % 64));
      check_binary(c, tiny, o.extreme_partner(a, division), m);
      check_binary(c, o.extreme_partner(a, division), tiny, m);
    }
  }
#endif
}

TEST(SOFT_SUITE(SoftOperations), NegationFlipsTheSignOnly) {
  for (SoftExtended x : chosen_operands()) {
    const SoftExtended n = -x;
    EXPECT_EQ(n.significand, x.significand);
    EXPECT_EQ(n.sign_exponent, x.sign_exponent ^ 0x8000);
  }
}

// ---------------------------------------------------------------- division by a constant

TEST_F(SOFT_SUITE(SoftConstantDivision), SameAsDivisionAndTheX87) {
  REQUIRE_X87();
#if HAVE_X87
  Operands o(0xD1D1'5000);
  std::vector<SoftExtended> divisors{kSoftSix,
                                     kSoft302,
                                     -kSoft302,
                                     kSoftSqrt3,
                                     bits(0x3FFF, runtime::kSoftIntegerBit),
                                     bits(0x3FFF, ~std::uint64_t{0}),
                                     bits(1, runtime::kSoftIntegerBit),
                                     bits(0x7FFE, ~std::uint64_t{0}),
                                     bits(0, 1)};
  for (int i = 0; i < 40; ++i) divisors.push_back(o.normal());
  for (int i = 0; i < 10; ++i) divisors.push_back(o.any());
  const std::vector<SoftExtended> chosen = chosen_operands();
  const std::size_t n = operand_count(200'000) / 20;
  Mismatches m("divisor");
  for (SoftExtended d : divisors) {
    const SoftDivisor divisor(d);
    const auto check = [&](SoftExtended a) {
      const X87 want = x87_div(a, d);
      unsigned flags = 0;
      const SoftExtended got = runtime::div_flagged(a, divisor, flags);
      const auto what = [&] {
        return show(a) + " / " + show(d) + ": " + show(got) + ", x87 " + show(want.value);
      };
      if (!m.check(same(got, want.value) && (flags & kFaults) == (want.flags & kFaults), what))
        return;
      if ((want.flags & kFaults) == 0) {
        const SoftExtended quick = a / divisor, plain = a / d;
        m.check(same(quick, want.value),
                [&] { return "operator: " + show(quick) + "; " + what(); });
        m.check(same(plain, want.value),
                [&] { return "plain operator: " + show(plain) + "; " + what(); });
      }
    };
    for (SoftExtended a : chosen) check(a);
    for (std::size_t i = 0; i < n; ++i) {
      check(o.normal());
      check(o.any());
      check(o.extreme_partner(d, false));  // a * d near the range ends: quotient near them too
    }
  }
#endif
}

#if HAVE_X87 && defined(__SIZEOF_INT128__)
// x^-1 modulo an odd m, by the extended Euclidean algorithm.
std::uint64_t inverse_modulo(std::uint64_t x, std::uint64_t m) {
  __extension__ using i128 = __int128;
  i128 r0 = m, r1 = x % m, t0 = 0, t1 = 1;
  while (r1 != 0) {
    const i128 q = r0 / r1;
    const i128 r2 = r0 - q * r1, t2 = t0 - q * t1;
    r0 = r1;
    r1 = r2;
    t0 = t1;
    t1 = t2;
  }
  if (t0 < 0) t0 += m;
  return static_cast<std::uint64_t>(t0);
}
#endif

// Quotients whose fraction lies next to one half, where the reciprocal's
// estimate (never above the exact quotient, and less than 2^-63 below it)
// cannot always decide: a * 2^64 = q * m + r with r = (m -+ 1) / 2 for an
// odd m, solved for a. Just below: the quick way must leave it to the exact
// division; just above: the estimate may fall below one half and must not
// round down.
TEST_F(SOFT_SUITE(SoftConstantDivision), QuotientsNextToHalfway) {
  REQUIRE_X87();
#if HAVE_X87 && defined(__SIZEOF_INT128__)
  Operands o(0x4A1F'0000);
  Mismatches m("near halfway");
  int found = 0;
  for (int i = 0; i < 4000 && found < 400; ++i) {
    const std::uint64_t d = o.raw() | runtime::kSoftIntegerBit | 1;
    // 2^64 mod d = 2^64 - d, as d > 2^63.
    const std::uint64_t inverse = inverse_modulo(0 - d, d);
    const bool above = i & 1;
    const std::uint64_t remainder = above ? d / 2 + 1 : d / 2;
    __extension__ using u128 = unsigned __int128;
    const auto a = static_cast<std::uint64_t>(static_cast<u128>(remainder) * inverse % d);
    if (a < runtime::kSoftIntegerBit) continue;  // not a normal significand
    ++found;
    const SoftExtended x = bits(0x3FFF, a), divisor_value = bits(0x4000, d);
    const SoftDivisor divisor(divisor_value);
    SoftExtended quick;
    if (!above)
      m.check(!runtime::soft_detail::divide_fast(x, divisor, quick),
              [&] { return "the quick way decided " + show(x) + " / " + show(divisor_value); });
    const X87 want = x87_div(x, divisor_value);
    const SoftExtended got = x / divisor;
    m.check(same(got, want.value), [&] {
      return show(x) + " / " + show(divisor_value) + ": " + show(got) + ", x87 " + show(want.value);
    });
  }
  EXPECT_GE(found, 100);
#endif
}

// The plotting step's add and divide in one, against fadd then fdiv: sums
// that cancel, operands an exponent apart, zeros and every class, and both
// figures' divisors; pairs where either instruction faults are left to the
// fault tests.
TEST_F(SOFT_SUITE(SoftConstantDivision), AddThenDivideAsFaddAndFdiv) {
  REQUIRE_X87();
#if HAVE_X87
  Operands o(0xADD0'D1F0);
  const std::vector<SoftExtended> chosen = chosen_operands();
  const std::size_t n = operand_count(200'000) / 4;
  Mismatches m("add then divide");
  // Besides the figures' divisors: a huge and a tiny one, under which the
  // quotients of many quick sums are denormal or overflow.
  for (SoftExtended d : {kSoftSix, kSoft302, -kSoft302, o.normal(),
                         SoftExtended::from_bits(0x7FF0, 0xC90F'DAA2'2168'C235),
                         SoftExtended::from_bits(0x800F, 0xADF8'5458'A2BB'4A9B)}) {
    const SoftDivisor divisor(d);
    std::size_t checked = 0;
    const auto check = [&](SoftExtended a, SoftExtended b) {
      const X87 sum = x87_add(a, b);
      const X87 want = x87_div(sum.value, d);
      if ((sum.flags | want.flags) & kFaults) return;
      ++checked;
      const SoftExtended got = runtime::add_then_divide(a, b, divisor);
      m.check(same(got, want.value), [&] {
        return "(" + show(a) + " + " + show(b) + ") / " + show(d) + ": " + show(got) + ", x87 " +
               show(want.value);
      });
    };
    for (SoftExtended a : chosen)
      for (SoftExtended b : chosen) check(a, b);
    for (std::size_t i = 0; i < n; ++i) {
      const SoftExtended a = o.normal();
      check(a, o.near(a));
      check(a, -o.near(a));
      check(a, o.normal());
      check(o.any(), o.any());
    }
    EXPECT_GT(checked, n);
  }
#endif
}

// The plotting step's chain: X = (XX + X) / D, many times over.
TEST_F(SOFT_SUITE(SoftConstantDivision), TheContractionChainStaysExact) {
  REQUIRE_X87();
#if HAVE_X87
  Operands o(0xF16E'0000);
  for (SoftExtended d : {kSoftSix, kSoft302}) {
    const SoftDivisor divisor(d);
    SoftExtended soft, fused;  // 0
    SoftExtended hard;
    Mismatches m("chain");
    for (int i = 0; i < 200'000; ++i) {
      const SoftExtended target(static_cast<double>(static_cast<int>(o.raw() % 1024) - 512) *
                                1.7320508075688772);
      soft = (target + soft) / divisor;
      fused = runtime::add_then_divide(target, fused, divisor);
      hard = x87_div(x87_add(target, hard).value, d).value;
      if (!m.check(same(soft, hard) && same(fused, hard), [&] {
            return std::string("step " + std::to_string(i) + ": " + show(soft) + ", fused " +
                               show(fused) + ", x87 " + show(hard));
          }))
        break;
    }
  }
#endif
}

// ---------------------------------------------------------------- comparisons

TEST_F(SOFT_SUITE(SoftComparison), OrderAndFlagsAsFcomiAndFucomi) {
  REQUIRE_X87();
#if HAVE_X87
  Mismatches m("compare");
  const auto check = [&](SoftExtended a, SoftExtended b) {
    for (bool signalling : {false, true}) {
      const X87Order want = x87_compare(a, b, signalling);
      unsigned flags = 0;
      const SoftOrder got = runtime::compare_flagged(a, b, signalling, flags);
      m.check(got == want.order && (flags & kFaults) == (want.flags & kFaults), [&] {
        return std::string(show(a) + (signalling ? " fcomi " : " fucomi ") + show(b) + ": " +
                           std::to_string(static_cast<int>(got)) + " flags " +
                           std::to_string(flags) + ", x87 " +
                           std::to_string(static_cast<int>(want.order)) + " flags " +
                           std::to_string(want.flags & kFaults));
      });
    }
  };
  const std::vector<SoftExtended> v = chosen_operands();
  for (SoftExtended a : v)
    for (SoftExtended b : v) check(a, b);
  Operands o(0xC0FF'EE00);
  for (std::size_t i = 0; i < operand_count(200'000); ++i) {
    const SoftExtended a = o.any();
    check(a, o.any());
    check(a, o.near(a));
    check(a, a);
  }
#endif
}

TEST_F(SOFT_SUITE(SoftComparison), OperatorsAgreeWithLongDouble) {
  REQUIRE_X87();
#if HAVE_X87
  // Operands the x87 accepts in any comparison: no NaN, no unsupported encoding.
  std::vector<SoftExtended> v;
  for (SoftExtended x : chosen_operands())
    if (x87_compare(x, x, true).flags == 0 || (x.sign_exponent & 0x7FFF) == 0) v.push_back(x);
  for (SoftExtended a : v)
    for (SoftExtended b : v) {
      const X87Order o = x87_compare(a, b, true);
      if (o.flags & kFaults) continue;
      SCOPED_TRACE(show(a) + " vs " + show(b));
      EXPECT_EQ(a == b, o.order == SoftOrder::equal);
      EXPECT_EQ(a != b, o.order != SoftOrder::equal);
      EXPECT_EQ(a < b, o.order == SoftOrder::less);
      EXPECT_EQ(a <= b, o.order != SoftOrder::greater);
      EXPECT_EQ(a > b, o.order == SoftOrder::greater);
      EXPECT_EQ(a >= b, o.order != SoftOrder::less);
    }
  // A quiet NaN is unequal to everything without fault.
  const SoftExtended nan = runtime::kSoftDefaultNaN;
  EXPECT_FALSE(nan == nan);
  EXPECT_TRUE(nan != SoftExtended(1.0));
#endif
}

// ---------------------------------------------------------------- conversions

TEST_F(SOFT_SUITE(SoftConversion), ToIntegersAsFistpAndFisttp) {
  REQUIRE_X87();
#if HAVE_X87
  std::vector<SoftExtended> v = chosen_operands();
  // Around +-2^31 and +-2^63: the boundaries and the ties next to them.
  for (const std::uint16_t e : {0x401D, 0x401E, 0x403D, 0x403E})
    for (std::uint64_t m : {0x8000'0000'0000'0000u, 0xFFFF'FFFE'0000'0000u, 0xFFFF'FFFF'0000'0000u,
                            0xFFFF'FFFF'8000'0000u, 0xFFFF'FFFF'FFFF'FFFFu, 0x8000'0000'8000'0000u,
                            0x8000'0001'0000'0000u, 0x8000'0000'0000'0001u, 0xFFFF'FFFF'FFFF'FFFEu})
      for (std::uint16_t sign : {0, 0x8000})
        v.push_back(bits(static_cast<std::uint16_t>(sign | e), m));
  Operands o(0x1A7E'6E00);
  for (std::size_t i = 0; i < operand_count(200'000); ++i) {
    v.push_back(o.any());
    const std::uint64_t r = o.raw();
    // Values up to 2^66, every fraction and tie.
    v.push_back(
        bits(static_cast<std::uint16_t>((runtime::kSoftBias - 2 + r % 68) | (r >> 63 ? 0x8000 : 0)),
             (o.raw() | runtime::kSoftIntegerBit) & (~std::uint64_t{0} << (r >> 8) % 64)));
  }
  Mismatches m("to integer");
  for (SoftExtended x : v) {
    const auto n32 = x87_int32_nearest(x);
    const auto n64 = x87_int64_nearest(x);
    const auto t32 = x87_int32_truncated(x);
    const auto t64 = x87_int64_truncated(x);
    unsigned f32 = 0, f64 = 0, g32 = 0, g64 = 0;
    const std::int32_t s32 = runtime::to_int32_flagged(x, SoftRound::nearest, f32);
    const std::int64_t s64 = runtime::to_int64_flagged(x, SoftRound::nearest, f64);
    const std::int32_t u32 = runtime::to_int32_flagged(x, SoftRound::toward_zero, g32);
    const std::int64_t u64 = runtime::to_int64_flagged(x, SoftRound::toward_zero, g64);
    m.check(s32 == n32.value && (f32 & kFaults) == (n32.flags & kFaults), [&] {
      return std::string("int32 nearest " + show(x) + ": " + std::to_string(s32) + ", x87 " +
                         std::to_string(n32.value));
    });
    m.check(s64 == n64.value && (f64 & kFaults) == (n64.flags & kFaults), [&] {
      return std::string("int64 nearest " + show(x) + ": " + std::to_string(s64) + ", x87 " +
                         std::to_string(n64.value));
    });
    m.check(u32 == t32.value && (g32 & kFaults) == (t32.flags & kFaults), [&] {
      return std::string("int32 truncated " + show(x) + ": " + std::to_string(u32) + ", x87 " +
                         std::to_string(t32.value));
    });
    m.check(u64 == t64.value && (g64 & kFaults) == (t64.flags & kFaults), [&] {
      return std::string("int64 truncated " + show(x) + ": " + std::to_string(u64) + ", x87 " +
                         std::to_string(t64.value));
    });
    m.check(runtime::to_int64_truncated_masked(x) == t64.value,
            [&] { return std::string("masked truncation " + show(x)); });
    if ((n32.flags & kFaults) == 0)
      m.check(runtime::to_int32_nearest(x) == n32.value,
              [&] { return std::string("fistp m32 " + show(x)); });
  }
#endif
}

// ROUND of a coordinate plus its screen offset in one step: the x87's
// fadd then fistp, on coordinates of every size, next to half-integers on
// both sides (where the sum's own rounding makes a tie), on exact ties and
// integers, and on every class of operand, with even and odd offsets up to
// and past the quick way's limit.
TEST_F(SOFT_SUITE(SoftConversion), AddThenRoundAsFaddAndFistp) {
  REQUIRE_X87();
#if HAVE_X87
  std::vector<SoftExtended> v = chosen_operands();
  Operands o(0x0FF5'E7);
  for (std::size_t i = 0; i < operand_count(100'000); ++i) {
    v.push_back(o.any());
    const std::uint64_t r = o.raw();
    v.push_back(
        bits(static_cast<std::uint16_t>((runtime::kSoftBias - 70 + r % 95) | (r >> 63 ? 0x8000 : 0)),
             o.raw() | runtime::kSoftIntegerBit));
  }
  for (int n = -700; n <= 700; n += 7)
    for (int p = 20; p <= 70; ++p)
      for (const long double j : {-3.0L, -1.0L, 0.0L, 1.0L, 2.0L}) {
        const long double tie = n + 0.5L;
        v.push_back(from_long_double(tie + j * std::ldexp(1.0L, -p)));
        v.push_back(from_long_double(n + j * std::ldexp(1.0L, -p)));
      }
  Mismatches m("add then round");
  for (const std::int32_t k : {512, 384, 0, 1, -1, 3, -384, (1 << 20) - 1, -(1 << 20) + 1, 1 << 20,
                               -(1 << 20), 1 << 24}) {
    const SoftExtended offset = x87_from_int32(k).value;
    for (SoftExtended x : v) {
      const X87 sum = x87_add(x, offset);
      const auto rounded = x87_int32_nearest(sum.value);
      if (((sum.flags | rounded.flags) & kFaults) != 0) continue;  // would end the run
      const std::int32_t soft = runtime::add_to_int32_nearest(x, k);
      m.check(soft == rounded.value, [&] {
        return show(x) + " + " + std::to_string(k) + ": " + std::to_string(soft) + ", x87 " +
               std::to_string(rounded.value);
      });
    }
  }
#endif
}

TEST_F(SOFT_SUITE(SoftConversion), FromIntegersAndDoublesExactly) {
  REQUIRE_X87();
#if HAVE_X87
  Mismatches m("from");
  Operands o(0xF20E'0000);
  std::vector<std::int64_t> ints{0,
                                 1,
                                 -1,
                                 INT32_MAX,
                                 INT32_MIN,
                                 INT64_MAX,
                                 INT64_MIN,
                                 INT64_MIN + 1,
                                 std::int64_t{1} << 62,
                                 UINT32_MAX};
  for (int i = 0; i < 100'000; ++i)
    ints.push_back(static_cast<std::int64_t>(o.raw() >> (o.raw() % 64)) * ((i & 1) ? -1 : 1));
  for (std::int64_t i : ints) {
    m.check(same(SoftExtended(i), x87_from_int64(i).value),
            [&] { return std::string("int64 " + std::to_string(i)); });
    const auto i32 = static_cast<std::int32_t>(i);
    m.check(same(SoftExtended(i32), x87_from_int32(i32).value),
            [&] { return std::string("int32 " + std::to_string(i32)); });
    const auto u32 = static_cast<std::uint32_t>(i);
    m.check(same(SoftExtended(u32), x87_from_int64(u32).value),
            [&] { return std::string("uint32 " + std::to_string(u32)); });
  }
  std::vector<std::uint64_t> doubles{0,
                                     1,
                                     0x000F'FFFF'FFFF'FFFF,
                                     0x0010'0000'0000'0000,
                                     0x7FEF'FFFF'FFFF'FFFF,
                                     0x7FF0'0000'0000'0000,
                                     0x7FF8'0000'0000'0000,
                                     0x7FF0'0000'0000'0001,
                                     0x7FF7'FFFF'FFFF'FFFF,
                                     0x7FFF'FFFF'FFFF'FFFF,
                                     0x3FF0'0000'0000'0000};
  for (int i = 0; i < 200'000; ++i) {
    const std::uint64_t r = o.raw();
    switch (r % 4) {
      case 0:
        doubles.push_back(o.raw());
        break;
      case 1:
        doubles.push_back((r & 0x8000'0000'0000'0000) | (o.raw() >> 12));
        break;  // denormal
      case 2:
        doubles.push_back((r & 0x8000'0000'0000'0000) | 0x7FF0'0000'0000'0000 | (o.raw() >> 12));
        break;
      default:
        doubles.push_back(o.raw() & 0xBFFF'FFFF'FFFF'FFFF);
        break;
    }
  }
  for (std::uint64_t b : doubles) {
    for (std::uint64_t with_sign : {b, b ^ 0x8000'0000'0000'0000}) {
      double d;
      std::memcpy(&d, &with_sign, 8);
      const X87 want = x87_from_double(d);
      unsigned flags = 0;
      const SoftExtended got = runtime::from_double_flagged(d, flags);
      const auto what = [&] {
        std::ostringstream text;
        text << "double " << std::hex << with_sign << ": " << show(got) << ", x87 "
             << show(want.value);
        return text.str();
      };
      if (m.check(same(got, want.value) && (flags & kFaults) == (want.flags & kFaults), what) &&
          (want.flags & kFaults) == 0)
        m.check(same(SoftExtended(d), want.value), [&] { return "constructor " + what(); });
    }
  }
#endif
}

TEST(SOFT_SUITE(SoftConversionAtCompileTime), ConstructorsAreConstantExpressions) {
  constexpr SoftExtended tenth(0.1);
  static_assert(tenth.sign_exponent == 0x3FFB && tenth.significand == 0xCCCC'CCCC'CCCC'D000);
  constexpr SoftExtended tiny(4.9406564584124654e-324);  // the smallest double denormal
  static_assert(tiny.sign_exponent == 0x3BCD && tiny.significand == runtime::kSoftIntegerBit);
  constexpr SoftExtended most_negative(INT64_MIN);
  static_assert(most_negative.sign_exponent == 0xC03E &&
                most_negative.significand == runtime::kSoftIntegerBit);
  constexpr SoftDivisor six(kSoftSix);
  static_assert(six.usable);
  SUCCEED();
}

TEST_F(SOFT_SUITE(SoftConstants), SameBitsAsTheX87Literals) {
  REQUIRE_X87();
#if HAVE_X87
  EXPECT_EQ(show(kSoftSqrt3), show(from_long_double(1.7320508075688772936L)));
  EXPECT_EQ(show(kSoft302), show(from_long_double(3.02L)));
  EXPECT_EQ(show(kSoftSix), show(from_long_double(6.0L)));
  const long double nan = __builtin_nanl("");
  EXPECT_EQ(
      show(runtime::kSoftDefaultNaN),
      show(x87_sub(from_long_double(__builtin_infl()), from_long_double(__builtin_infl())).value));
  (void)nan;
#endif
}

// The masked truncation gives the integer indefinite where it would fault.
TEST(SOFT_SUITE(SoftOperations), MaskedTruncationNeverFaults) {
  const SoftExtended inf = bits(0x7FFF, runtime::kSoftIntegerBit);
  EXPECT_EQ(runtime::to_int64_truncated_masked(inf), INT64_MIN);
  EXPECT_EQ(runtime::to_int64_truncated_masked(bits(0x403E, runtime::kSoftIntegerBit)), INT64_MIN);
  EXPECT_EQ(runtime::to_int64_truncated_masked(SoftExtended(-2.75)), -2);
}

}  // namespace
