// quintgrain: the five-point figure, plotted until a key is pressed.
#include "plotter/five_point.hpp"
#include "plotter/plotter.hpp"

int main() { plotter::run<plotter::FivePoint>(); }
