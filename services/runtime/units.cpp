// Module start-up and finalisation.
#include "services/runtime/units.hpp"

#include <vector>

namespace runtime {
namespace {

std::vector<Unit> completed;  // in order of initialisation

}  // namespace

void INITIALIZEUNITS(std::span<const Unit> units) {
  completed.reserve(units.size());
  for (const Unit& u : units) {
    if (u.init != nullptr) u.init();
    completed.push_back(u);
  }
}

void FINALIZEUNITS() {
  // Popped one by one, so a unit that ends the process from its
  // finalisation is not finalised twice.
  while (!completed.empty()) {
    Unit u = completed.back();
    completed.pop_back();
    if (u.fini != nullptr) u.fini();
  }
}


}  // namespace runtime
