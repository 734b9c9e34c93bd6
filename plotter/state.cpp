// Every global of the plotter lives here.
#include "plotter/state.hpp"

namespace plotter {

runtime::Extended X = 0;
runtime::Extended Y = 0;
std::uint16_t MERET = 0;

}  // namespace plotter
