#include "core/frame_size_question.h"

#include "core/preferences.h"

namespace fw {
namespace {

FrameSizeAsker& Asker() {
  static FrameSizeAsker asker;
  return asker;
}

FrameSizeChoice StoredChoice(uint32_t policy) {
  return (policy & pref::kSizeEnlarge) ? FrameSizeChoice::Enlarge : FrameSizeChoice::Clip;
}

}  // namespace

void SetFrameSizeAsker(FrameSizeAsker asker) { Asker() = std::move(asker); }

FrameSizeChoice ChooseFrameSize(bool incomingLarger) {
  const uint32_t policy = Prefs().read(pref::kFrameSizePolicy);
  if (incomingLarger && (policy & pref::kSizeAsk) && Asker()) return Asker()(policy);
  return StoredChoice(policy);
}

}  // namespace fw
