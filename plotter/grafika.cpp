#include <cstdint>
#include <string_view>

#include "plotter/plotter.hpp"
#include "services/graphics/graph.hpp"

namespace plotter {

void GRAFIKA() {
  // Detection writes both on success; after a failure INITGRAPH sees driver
  // 0, detects again and fails the same way.
  std::int16_t GD = 0;
  std::int16_t GM = 0;
  graphics::DETECTGRAPH(GD, GM);
  graphics::INITGRAPH(GD, GM, std::string_view{});
}

}  // namespace plotter
