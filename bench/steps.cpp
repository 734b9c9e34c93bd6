#include "bench/steps.hpp"

#include "services/graphics/graph.hpp"

namespace bench {

bool start_services() {
  plotter::start<plotter::SixPoint>();
  if (graphics::_GRAPHRESULT != graphics::grOk) return false;
  plotter::X = 0;
  plotter::Y = 0;
  plotter::plot_point();
  return true;
}

FigurePixels figure_pixels(unsigned count) {
  FigurePixels p;
  p.x.reserve(count);
  p.y.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    plotter::SORSOL<plotter::SixPoint>();
    p.y.push_back(plotter::YKOORD(plotter::Y));
    p.x.push_back(plotter::XKOORD(plotter::X));
  }
  return p;
}

}  // namespace bench
