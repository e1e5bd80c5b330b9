#pragma once
// The optimize dialog's size read-outs: before, after, the bytes saved and the percentage.
#include <QString>
#include <cstdint>

namespace fw {

struct SizeReadouts {
  QString after;
  QString saved;
  QString percent;
};

// "12,345 字节" grouped as the user's locale groups, "无" for nothing; empty when unknown.
QString SizeText(int64_t bytes);
// What the three trial read-outs show for a measured `after`. A result no smaller than
// `before` is not kept, so the read-outs show the document's own size and no saving.
SizeReadouts TrialReadouts(int64_t before, int64_t after);
// Beside the read-outs: how many frames the chosen palette option shows in approximated
// colours; empty for none.
QString ApproximatedText(int frames);

}  // namespace fw
