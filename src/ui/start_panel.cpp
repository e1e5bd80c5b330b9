#include "ui/start_panel.h"

#include <QPainter>
#include <QPushButton>

namespace fw {
namespace {

// Button captions: the menu texts of their commands without the mnemonic.
const char* const kCaptions[3] = {"打开...", "插入帧...", "教程..."};
constexpr int kButtonTop[3] = {128, 234, 303};

}  // namespace

StartPanel::StartPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MyBlankIntro"));
  setFixedSize(420, 350);
  for (int i = 0; i < 3; ++i) {
    auto* button = new QPushButton(QString::fromUtf8(kCaptions[i]), this);
    button->setObjectName(QStringLiteral("c%1").arg(kCommands[i]));
    button->setGeometry(24, kButtonTop[i], 114, 24);
    button->setCursor(Qt::PointingHandCursor);
    const int id = kCommands[i];
    connect(button, &QPushButton::clicked, this, [this, id] { emit command(id); });
  }
}

void StartPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(palette().color(QPalette::Mid));
  p.setBrush(palette().color(QPalette::Base));
  p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 8, 8);
  QFont title = font();
  title.setPointSizeF(title.pointSizeF() * 2.2);
  title.setBold(true);
  p.setFont(title);
  p.setPen(palette().color(QPalette::Text));
  p.drawText(QRect(24, 24, width() - 48, 48), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Framewright"));
  p.setFont(font());
  p.setPen(palette().color(QPalette::PlaceholderText));
  p.drawText(QRect(24, 76, width() - 48, 40), Qt::AlignLeft | Qt::TextWordWrap,
             QString::fromUtf8("打开一个动画，或把图片和动画文件拖到这里。"));
  const char* const hints[3] = {"打开GIF、AVI、PNG、PSD、图标等文件", "从图片文件开始一个新的动画", "跟着示例动画一步一步学习"};
  for (int i = 0; i < 3; ++i)
    p.drawText(QRect(150, kButtonTop[i], width() - 170, 24), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(hints[i]));
}

}  // namespace fw
