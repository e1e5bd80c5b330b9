#include "ui/hotspot_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/anim_document.h"
#include "core/indexed_image.h"
#include "ui/pixel_view.h"

namespace fw {

HotspotDialog::HotspotDialog(ImageBlock& frame, QWidget* parent) : QDialog(parent), frame_(frame) {
  setObjectName(QStringLiteral("d220"));
  setWindowTitle(QString::fromUtf8("定义光标热点"));
  if (frame.indexedImage) picture_ = CopyIndexedImage(*frame.indexedImage);
  if (!picture_) picture_ = std::make_unique<IndexedImage>();
  const int width = picture_->width, height = picture_->height;
  view_ = new PixelView;
  view_->setImage(picture_.get());
  QList<QRgb> table(256);
  for (int i = 0; i < 256; ++i) {
    const Rgb c = EntryColour(picture_->colourTable[static_cast<size_t>(i)]);
    table[i] = qRgb(c.r, c.g, c.b);
  }
  view_->setColourTable(table);
  int zoom = 1;
  while (zoom < 16 && std::max(width, height) * zoom * 2 <= 256) zoom *= 2;
  view_->setZoom(zoom);
  view_->setCursor(Qt::CrossCursor);
  auto* scroll = new QScrollArea(this);
  scroll->setWidget(view_);
  scroll->setMinimumSize(200, 200);

  auto spin = [this](int id, int maximum) {
    auto* s = new QSpinBox(this);
    s->setObjectName(QStringLiteral("c%1").arg(id));
    // Three digits at most; values outside the frame are pulled to its edge.
    s->setRange(0, std::min(maximum, 999));
    return s;
  };
  x_ = spin(1069, width);
  y_ = spin(1070, height);
  x_->setValue(frame.hotspotX >= 0 ? frame.hotspotX : width / 2);
  y_->setValue(frame.hotspotY >= 0 ? frame.hotspotY : height / 2);
  connect(x_, &QSpinBox::valueChanged, this, [this] { showMarker(); });
  connect(y_, &QSpinBox::valueChanged, this, [this] { showMarker(); });
  connect(view_, &PixelView::pixelPressed, this, [this](int x, int y) {
    x_->setValue(x);
    y_->setValue(y);
  });
  connect(view_, &PixelView::pixelDragged, this, [this](int x, int y) {
    x_->setValue(x);
    y_->setValue(y);
  });

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("X:"), x_);
  fields->addRow(QStringLiteral("Y:"), y_);
  auto* zoomRow = new QHBoxLayout;
  const std::pair<int, const char*> zoomTexts[] = {{40038, "+"}, {40039, "-"}};
  for (const auto& [id, text] : zoomTexts) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("c%1").arg(id));
    b->setText(QString::fromLatin1(text));
    connect(b, &QToolButton::clicked, this, [this, in = id == 40038] { view_->setZoom(in ? view_->zoom() * 2 : view_->zoom() / 2); });
    zoomRow->addWidget(b);
  }
  zoomRow->addStretch(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* side = new QVBoxLayout;
  side->addLayout(fields);
  side->addLayout(zoomRow);
  side->addStretch(1);
  auto* body = new QHBoxLayout;
  body->addWidget(scroll, 1);
  body->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addWidget(buttons);
  showMarker();
}

HotspotDialog::~HotspotDialog() = default;

int HotspotDialog::hotspotX() const { return x_->value(); }
int HotspotDialog::hotspotY() const { return y_->value(); }

void HotspotDialog::showMarker() { view_->setMarker(x_->value(), y_->value()); }

void HotspotDialog::done(int result) {
  frame_.hotspotX = hotspotX();
  frame_.hotspotY = hotspotY();
  QDialog::done(result);
}

bool DefineFirstFrameHotspot(AnimHeader& document, QWidget* parent) {
  ImageBlock* first = FirstImage(&document);
  if (!first) return false;
  HotspotDialog dialog(*first, parent);
  dialog.exec();
  return true;
}

}  // namespace fw
