// trigrain: the six-point figure, plotted until a key is pressed.
#include "plotter/plotter.hpp"
#include "plotter/six_point.hpp"

int main() { plotter::run<plotter::SixPoint>(); }
