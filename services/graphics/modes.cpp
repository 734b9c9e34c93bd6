// The two indexes over the mode entries.
#include "services/graphics/modes.hpp"

#include <algorithm>

namespace graphics {
namespace {

DepthList* depth_list(std::int16_t driver) {
  if (driver < kLowNewDriver || driver > kHighNewDriver) return nullptr;
  return &NEWMODELIST[static_cast<std::size_t>(driver - kLowNewDriver)];
}

void renumber(DepthList& list) {
  std::int16_t n = 0;
  for (TMODEINFO& m : list.modes) m.new_mode_number = ++n;
  list.lowest = n > 0 ? 1 : -1;
  list.highest = n > 0 ? n : -1;
}

// Width and height; MAXX and MAXY are compared as unsigned numbers.
bool smaller(const TMODEINFO& a, const TMODEINFO& b) {
  return a.MAXX != b.MAXX ? a.MAXX < b.MAXX : a.MAXY < b.MAXY;
}

}  // namespace

TMODEINFO INITMODE() { return TMODEINFO{}; }

void set_mode_name(TMODEINFO& mode, std::string_view name) {
  mode.mode_name.fill('\0');
  std::copy_n(name.begin(), std::min(name.size(), kModeNameLength), mode.mode_name.begin());
}

std::int16_t depth_driver(std::int32_t colors) {
  switch (colors) {
    case 2: return 11;
    case 4: return 12;
    case 16: return 13;
    case 64: return 14;
    case 256: return 15;
    case 4096: return 16;
    case 32768: return 17;
    case 65536: return 18;
    default: return -1;
  }
}

void ADDMODE(const TMODEINFO& mode) {
  if (DepthList* list = depth_list(depth_driver(mode.MAXCOLOR))) {
    auto& modes = list->modes;
    auto at = std::find_if(modes.begin(), modes.end(),
                           [&](const TMODEINFO& m) { return !smaller(m, mode); });
    if (at != modes.end() && at->MAXX == mode.MAXX && at->MAXY == mode.MAXY)
      *at = mode;  // same size: the later row takes the earlier one's place
    else
      modes.insert(at, mode);
    renumber(*list);
  }
  MODELIST.push_back(mode);
  MODELIST.back().new_mode_number = 0;  // only the depth-list copy has a position
}

void GETMODERANGE(std::int16_t driver, std::int16_t& lowest, std::int16_t& highest) {
  const DepthList* list = depth_list(driver);
  lowest = list != nullptr ? list->lowest : -1;
  highest = list != nullptr ? list->highest : -1;
}

const TMODEINFO* SEARCHMODE(std::int16_t driver, std::int16_t mode) {
  if (const DepthList* list = depth_list(driver)) {
    for (const TMODEINFO& m : list->modes)
      if (m.new_mode_number == mode) return &m;
    return nullptr;
  }
  for (const TMODEINFO& m : MODELIST)
    if (m.driver_number == driver && m.mode_number == mode) return &m;
  return nullptr;
}

void release_mode_lists() {
  MODELIST.clear();
  for (DepthList& list : NEWMODELIST) {
    list.modes.clear();
    list.lowest = list.highest = -1;
  }
}

}  // namespace graphics
