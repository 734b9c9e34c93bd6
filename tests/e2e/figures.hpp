#pragma once
// The two programs' figures as the tests know them: where the pixels may
// fall, and the attractor worked out by the test itself (in double
// precision: the tests look for each pixel within one of the model's).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct Figure {
  std::string program;  // its build target
  int left, top, right, bottom;  // every plotted pixel lies in this box
  std::vector<std::pair<double, double>> targets;
  double divisor;
};

const Figure& six_point();
const Figure& five_point();

// Pixels of a 1024 x 768 area, one byte each.
struct PixelSet {
  static constexpr int width = 1024, height = 768;
  std::vector<std::uint8_t> on = std::vector<std::uint8_t>(width * height);
  bool has(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && on[index(x, y)] != 0;
  }
  void add(int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height) on[index(x, y)] = 1;
  }
  // Lit within one pixel (eight neighbours) of (x, y).
  bool near(int x, int y) const;
  std::size_t count() const;

 private:
  static std::size_t index(int x, int y) {
    return static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x);
  }
};

struct Reference {
  PixelSet attractor;  // reached by a long chaos game, way in from the origin skipped
  PixelSet way_in;     // every pixel of the first four steps from the origin
};

// Computed once per figure.
const Reference& reference(const Figure& figure);

}  // namespace e2e
