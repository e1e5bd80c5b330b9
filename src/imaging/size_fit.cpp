#include "imaging/size_fit.h"

#include "core/byte_size.h"
#include "core/message_sink.h"
#include "core/undo_history.h"
#include "imaging/size_plan.h"

namespace fw {

bool FitToSize(AnimHeader& document, int64_t targetBytes, std::string& report) {
  SizePlan plan = PlanForSize(document, targetBytes, nullptr);
  if (plan.outcome == SizePlan::kFits && plan.document) {
    ExchangeDocuments(document, *plan.document);
    document.encodedSize = -1;
    return true;
  }
  const std::string target = ShortByteSize(targetBytes);
  if (plan.outcome == SizePlan::kNothingFits)
    report = FormatText(
        "No version of the animation fits %s (%lld bytes): the smallest of %d tried takes %lld bytes. "
        "Nothing was written.",
        target.c_str(), static_cast<long long>(targetBytes), static_cast<int>(plan.tried.size()),
        static_cast<long long>(plan.smallest));
  else
    report = FormatText("The animation could not be fitted to %s (out of memory or stopped). Nothing was written.",
                        target.c_str());
  return false;
}

}  // namespace fw
