#include "ui/frame_cost_overlay.h"

#include <QFont>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <optional>

#include "core/number_text.h"
#include "core/preference_store.h"
#include "core/preferences.h"

namespace fw {
namespace {

constexpr const char* kSettingName = "StripShowsFrameCosts";
constexpr int kBandHeight = 13;

}  // namespace

bool FrameCostSetting() {
  PreferenceStore* store = Prefs().store();
  const std::optional<uint32_t> stored = store ? store->number(kSettingName) : std::nullopt;
  return stored && *stored != 0;
}

void StoreFrameCostSetting(bool on) {
  if (PreferenceStore* store = Prefs().store()) store->setNumber(kSettingName, on ? 1 : 0);
}

QString FrameCostLabel(int64_t bytes) {
  if (bytes < 0) return QStringLiteral("…");
  const QString sep = QLocale().groupSeparator();
  const char separator = sep.size() == 1 && sep[0].unicode() < 128 ? static_cast<char>(sep[0].unicode()) : ',';
  return QString::fromStdString(GroupThousands(bytes, separator)) + QStringLiteral(" B");
}

void DrawFrameCost(QPainter& painter, const QRect& image, int64_t bytes, int64_t largest) {
  const int height = std::min(kBandHeight, image.height());
  if (height < 4 || image.width() < 4) return;
  const QRect band(image.left(), image.bottom() - height + 1, image.width(), height);
  painter.fillRect(band, QColor(0, 0, 0, 150));
  if (bytes >= 0 && largest > 0) {
    const int length = static_cast<int>(std::max<int64_t>(1, band.width() * bytes / largest));
    painter.fillRect(QRect(band.left(), band.bottom() - 2, length, 3), QColor(255, 160, 0));
  }
  if (height < 10) return;
  QFont font = painter.font();
  font.setPixelSize(height - 4);
  painter.save();
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(band.adjusted(2, 0, -2, -3), Qt::AlignLeft | Qt::AlignVCenter, FrameCostLabel(bytes));
  painter.restore();
}

}  // namespace fw
