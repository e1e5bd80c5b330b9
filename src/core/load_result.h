#pragma once
#include "core/anim_document.h"

namespace fw {

// 1 complete, 2 partly read or aborted, 0 nothing usable (a message was shown).
enum ReadStatus : int { kReadFailed = 0, kReadComplete = 1, kReadPartial = 2 };

struct LoadResult {
  int status = kReadFailed;
  AnimPtr document;
};

}  // namespace fw
