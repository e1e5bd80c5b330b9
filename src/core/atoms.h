#pragma once
// Frame names are interned, reference-counted strings: copying a frame shares its name.
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {

using Atom = uint16_t;  // 0 = no name

inline constexpr size_t kMaxNameLength = 255;

// Takes a reference to the atom for `text` (created when new); 0 when the table is full.
// Texts longer than kMaxNameLength bytes are cut at a character boundary.
Atom AtomAdd(std::string_view text);
void AtomAddRef(Atom atom);
void AtomRelease(Atom atom);
std::string AtomText(Atom atom);
int AtomRefCount(Atom atom);

}  // namespace fw
