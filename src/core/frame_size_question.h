#pragma once
// What happens when inserted frames are larger than the animation they join: the stored
// frame-size policy (word 2) decides, and the window may ask the user instead when the
// policy says to ask. Batch runs install no asker, so they follow the stored choice.
#include <cstdint>
#include <functional>

namespace fw {

enum class FrameSizeChoice { Clip, Enlarge, Cancel };

// Receives word 2 as stored (with its ask bit) and returns the user's choice.
using FrameSizeAsker = std::function<FrameSizeChoice(uint32_t policy)>;
// nullptr removes the asker.
void SetFrameSizeAsker(FrameSizeAsker asker);

// The choice for a merge; `incomingLarger` says whether any incoming animation is wider or
// taller than the one it joins (only then is there anything to ask about).
FrameSizeChoice ChooseFrameSize(bool incomingLarger);

}  // namespace fw
