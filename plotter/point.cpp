// The plotter's globals: the point and the figure size.
#include "plotter/point.hpp"

namespace plotter {

runtime::Extended X = 0;
runtime::Extended Y = 0;
std::uint16_t MERET = 0;

}  // namespace plotter
