// The plotter's figure size (the point lives in point.hpp).
#include "plotter/point.hpp"

namespace plotter {

std::uint16_t MERET = 0;

}  // namespace plotter
