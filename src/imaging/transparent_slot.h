#pragma once
// Where a frame's transparent pixels go after its opaque pixels were mapped onto a palette:
// an entry no opaque pixel of that frame shows, so no opaque pixel turns see-through.
#include <array>
#include <cstdint>

#include "core/palette.h"

namespace fw {

// How many opaque pixels of one frame show each destination entry.
using EntryUse = std::array<int64_t, 256>;

// An entry below `count` that `use` shows no pixel on, or -1 when every entry is shown.
int UnusedEntry(const EntryUse& use, int count);
// The entry shown on the fewest opaque pixels (never an unshown one), for emptying when the
// frame shows every entry.
int LeastUsedEntry(const EntryUse& use, int count);
// The entry nearest `colour` other than `excluded`; `excluded` itself when it is the only one.
int NearestOtherEntry(const Rgb* entries, int count, Rgb colour, int excluded);

}  // namespace fw
