#include "ui/optimize_readouts.h"

#include <QLocale>

#include "core/number_text.h"
#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {
constexpr int kNone = 40148;
constexpr int kBytes = 40149;

char GroupSeparator() {
  const QString sep = QLocale().groupSeparator();
  return sep.size() == 1 && sep[0].unicode() < 128 ? static_cast<char>(sep[0].unicode()) : ',';
}
}  // namespace

QString SizeText(int64_t bytes) {
  if (bytes < 0) return {};
  if (bytes == 0) return QString::fromUtf8(MessageText(kNone));
  const std::string grouped = GroupThousands(bytes, GroupSeparator());
  return QString::fromStdString(FormatText(MessageText(kBytes), grouped.c_str()));
}

SizeReadouts TrialReadouts(int64_t before, int64_t after) {
  SizeReadouts r;
  if (after >= 0 && before >= 0 && after > before) after = before;
  r.after = SizeText(after);
  if (after < 0 || before < 0) return r;
  r.saved = SizeText(before - after);
  if (before > 0)
    r.percent = QString::fromStdString(FormatText("(%.1f%%)", static_cast<double>(before - after) * 100.0 / before));
  return r;
}

}  // namespace fw

namespace fw {

QString ApproximatedText(int frames) {
  if (frames <= 0) return {};
  return QString::fromUtf8("(%1 帧颜色近似)").arg(frames);
}

}  // namespace fw
