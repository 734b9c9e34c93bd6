#include "tests/e2e/figures.hpp"

#include <cmath>
#include <map>
#include <random>

namespace e2e {
namespace {

constexpr double kSqrt3 = 1.7320508075688772936;

int column(double x) { return static_cast<int>(std::lround(512.0 + x)); }
int row(double y) { return static_cast<int>(std::lround(384.0 + y)); }

void way_in(const Figure& f, double x, double y, int depth, PixelSet& out) {
  out.add(column(x), row(y));
  if (depth == 0) return;
  for (auto [tx, ty] : f.targets) way_in(f, (tx + x) / f.divisor, (ty + y) / f.divisor, depth - 1, out);
}

Reference compute(const Figure& f) {
  Reference r;
  way_in(f, 0, 0, 4, r.way_in);
  std::mt19937 gen(20240607);
  std::uniform_int_distribution<std::size_t> pick(0, f.targets.size() - 1);
  double x = 0, y = 0;
  for (int i = 0; i < 3'000'000; ++i) {
    auto [tx, ty] = f.targets[pick(gen)];
    x = (tx + x) / f.divisor;
    y = (ty + y) / f.divisor;
    if (i >= 20) r.attractor.add(column(x), row(y));
  }
  return r;
}

}  // namespace

bool PixelSet::near(int x, int y) const {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (has(x + dx, y + dy)) return true;
  return false;
}

std::size_t PixelSet::count() const {
  std::size_t n = 0;
  for (auto b : on) n += b;
  return n;
}

// Large triangle (apex up) and small inverted triangle; size 1600.
const Figure& six_point() {
  static const Figure f{"trigrain", 192, 107, 832, 661,
                        {{0, -1600 * kSqrt3 / 2},
                         {-1600, 1600 * kSqrt3 / 2},
                         {1600, 1600 * kSqrt3 / 2},
                         {0, 1600 * kSqrt3 / 4},
                         {-800, -1600 * kSqrt3 / 4},
                         {800, -1600 * kSqrt3 / 4}},
                        6.0};
  return f;
}

// Centre and corners of a square; size 640.
const Figure& five_point() {
  static const Figure f{"quintgrain", 195, 67, 829, 701,
                        {{0, 0}, {-640, -640}, {-640, 640}, {640, -640}, {640, 640}},
                        3.02};
  return f;
}

const Reference& reference(const Figure& figure) {
  static std::map<std::string, Reference> cache;
  auto it = cache.find(figure.program);
  if (it == cache.end()) it = cache.emplace(figure.program, compute(figure)).first;
  return it->second;
}

}  // namespace e2e
