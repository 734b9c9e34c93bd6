#pragma once
// Types shared by every service and the plotter.
//
// Extended is the figures' number type: the x87's 80-bit long double where
// the build uses it, otherwise SoftExtended, the same format and the same
// results in software (GRAIN_SOFT_EXTENDED, set by the build: forced on
// every processor without an x87). Portable code writes Extended and
// constants as Extended(exact double) or extended_from_bits (extended.hpp),
// and leaves the rest to the per-type helpers there.
#include <cstdint>

#include "services/runtime/real/soft_extended.hpp"

#if defined(__i386__) || defined(__x86_64__)
#define GRAIN_HAS_X87 1
#else
#define GRAIN_HAS_X87 0
#endif

#ifndef GRAIN_SOFT_EXTENDED
#define GRAIN_SOFT_EXTENDED 0
#endif

namespace runtime {

#if GRAIN_HAS_X87
// The processor's own: on x86 the x87 type, whichever Extended is.
using X87Extended = long double;
static_assert(sizeof(X87Extended) >= 10 && __LDBL_MANT_DIG__ == 64,
              "x86 long double is expected to be the x87 80-bit type");
#endif

#if GRAIN_SOFT_EXTENDED
using Extended = SoftExtended;
#else
static_assert(GRAIN_HAS_X87, "only x86 has the x87: build with GRAIN_SOFT_EXTENDED");
using Extended = X87Extended;
#endif

using PixelCoord = std::int16_t;   // origin top-left, x right, y down
using ColorIndex = std::uint16_t;  // index into the graphics palette

}  // namespace runtime
