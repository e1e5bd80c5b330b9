#include "ui/pixel_editor.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCursor>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPixmap>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/anim_document.h"
#include "core/frame_planes.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "imaging/pixel_edit.h"
#include "ui/frame_tip_popup.h"
#include "ui/pixel_view.h"
#include "ui/show_colors.h"

namespace fw {
namespace {

// Word 6 bit 6: the colour pickers describe the colour under the pointer.
constexpr uint32_t kShowColourTip = 1u << 6;

QToolButton* CommandButton(QWidget* parent, int id, const QString& text) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QStringLiteral("c%1").arg(id));
  b->setText(text);
  return b;
}

// A whole-number zoom that fits the frame into about 480 pixels, at least 1.
int FittingZoom(const IndexedImage& image) {
  const int larger = std::max(image.width, image.height);
  int zoom = 1;
  while (zoom < 32 && larger * zoom * 2 <= 480) zoom *= 2;
  return zoom;
}

}  // namespace

PixelEditor::PixelEditor(const ImageBlock& frame, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("d300"));
  setWindowTitle(QString::fromUtf8(MessageText(40352)));
  if (frame.indexedImage) image_ = CopyIndexedImage(*frame.indexedImage);
  if (!image_) image_ = std::make_unique<IndexedImage>();
  trueColour_ = frame.trueColour;
  alpha_ = frame.alpha;
  PaletteEntries(frame, entries_.data());
  transparentIndex_ = frame.transparent() ? frame.transparentIndex : -1;
  current_ = transparentIndex_;
  background_ = palette().color(QPalette::Window);

  colours_ = new ShowColors(this);
  std::array<Rgb, 256> rgb{};
  for (size_t i = 0; i < 256; ++i) rgb[i] = EntryColour(entries_[i]);
  colourCount_ = frame.activePalette ? frame.activePalette->count() : 256;
  colours_->setColours(rgb, colourCount_);
  connect(colours_, &ShowColors::hovered, this, [this](int index) { hover(index); });
  colours_->setSelected(current_);
  connect(colours_, &ShowColors::picked, this, [this](int index) { setCurrentIndex(index); });

  view_ = new PixelView;
  view_->setImage(image_.get());
  view_->setZoom(FittingZoom(*image_));
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("pixelScroll"));
  scroll->setWidget(view_);
  scroll->setMinimumSize(320, 260);
  // Room for the frame at the fitting zoom (about 480 pixels) without scrolling.
  resize(780, 600);
  connect(view_, &PixelView::pixelPressed, this, [this](int x, int y) { applyAt(x, y, false); });
  connect(view_, &PixelView::pixelDragged, this, [this](int x, int y) { applyAt(x, y, true); });
  connect(view_, &PixelView::pixelHovered, this, [this](int x, int y) {
    hover(x >= 0 && y >= 0 && x < image_->width && y < image_->height ? image_->row(y)[x] : -1);
  });

  auto* toolRow = new QHBoxLayout;
  tools_ = new QButtonGroup(this);
  tools_->setExclusive(true);
  const std::pair<int, const char*> toolTexts[] = {
      {kPickTool, "选择颜色"}, {kSetTool, "设置像素颜色"}, {kFillTool, "填充颜色"}};
  for (const auto& [id, text] : toolTexts) {
    QToolButton* b = CommandButton(this, id, QString::fromUtf8(text));
    b->setCheckable(true);
    tools_->addButton(b, id);
    toolRow->addWidget(b);
  }
  connect(tools_, &QButtonGroup::idClicked, this, [this](int id) { setTool(id); });
  toolRow->addSpacing(12);
  const std::pair<int, const char*> zoomTexts[] = {{40038, "+"}, {40039, "-"}, {40069, "1:1"}};
  for (const auto& [id, text] : zoomTexts) {
    QToolButton* b = CommandButton(this, id, QString::fromLatin1(text));
    connect(b, &QToolButton::clicked, this, [this, command = id] { zoomBy(command); });
    toolRow->addWidget(b);
  }
  auto* background = new QToolButton(this);
  background->setObjectName(QStringLiteral("background"));
  background->setText(QString::fromUtf8("背景..."));
  background->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  connect(background, &QToolButton::clicked, this, [this] { chooseBackground(); });
  backgroundButton_ = background;
  toolRow->addWidget(background);
  toolRow->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* body = new QHBoxLayout;
  body->addWidget(colours_, 0, Qt::AlignTop);
  body->addWidget(scroll, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(toolRow);
  layout->addLayout(body, 1);
  showTip_ = new QCheckBox(QString::fromUtf8("显示光标下的颜色信息"), this);
  showTip_->setObjectName(QStringLiteral("c1083"));
  showTip_->setChecked(Prefs().bit(pref::kOptionFlags, kShowColourTip));
  tip_ = new FrameTipPopup(this);
  layout->addWidget(showTip_);
  layout->addWidget(buttons);
  setTool(kSetTool);
  refreshTable();
}

PixelEditor::~PixelEditor() = default;

void PixelEditor::setTool(int id) {
  if (id != kPickTool && id != kSetTool && id != kFillTool) return;
  tool_ = id;
  if (QAbstractButton* b = tools_->button(id)) b->setChecked(true);
}

void PixelEditor::setCurrentIndex(int index) {
  current_ = index >= 0 && index < 256 ? index : -1;
  colours_->setSelected(current_);
}

void PixelEditor::applyAt(int x, int y, bool dragging) {
  if (!image_ || x < 0 || y < 0 || x >= image_->width || y >= image_->height) return;
  if (tool_ == kPickTool) {
    setCurrentIndex(image_->row(y)[x]);
    return;
  }
  // Without a current colour there is nothing to write; a drag fills nothing either.
  if (current_ < 0 || (tool_ == kFillTool && dragging)) return;
  PixelPlanes planes{image_.get(), entries_.data(), trueColour_.empty() ? nullptr : &trueColour_,
                     alpha_.empty() ? nullptr : &alpha_, transparentIndex_};
  const uint8_t index = static_cast<uint8_t>(current_);
  const EditRect changed = tool_ == kFillTool ? FloodFillIndex(planes, x, y, index) : SetPixelIndex(planes, x, y, index);
  if (changed.empty()) return;
  changed_ = true;
  view_->pixelsChanged(changed);
}

QString PixelEditor::tipFor(int index) const {
  if (!showTip_->isChecked() || index < 0 || index >= colourCount_) return {};
  return ColourTipText(index, EntryColour(entries_[static_cast<size_t>(index)]), transparentIndex_);
}

void PixelEditor::hover(int index) {
  const QString text = tipFor(index);
  if (text.isEmpty()) {
    tip_->clear();
    return;
  }
  tip_->setTip(text, nullptr, {});
  tip_->follow(QCursor::pos(), true);
}

void PixelEditor::done(int result) {
  tip_->clear();
  Prefs().setBits(pref::kOptionFlags, kShowColourTip, showTip_->isChecked());
  QDialog::done(result);
}

void PixelEditor::zoomBy(int command) {
  const int zoom = view_->zoom();
  view_->setZoom(command == 40038 ? zoom * 2 : command == 40039 ? zoom / 2 : 1);
}

void PixelEditor::chooseBackground() {
  const QColor chosen = QColorDialog::getColor(background_, this);
  if (!chosen.isValid()) return;
  background_ = chosen;
  refreshTable();
}

void PixelEditor::refreshTable() {
  QList<QRgb> table(256);
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = entries_[static_cast<size_t>(i)];
    table[i] = i == transparentIndex_ ? background_.rgb() : qRgb((e >> 16) & 255, (e >> 8) & 255, e & 255);
  }
  view_->setColourTable(table);
  QPixmap swatch(16, 16);
  swatch.fill(background_);
  backgroundButton_->setIcon(QIcon(swatch));
}

}  // namespace fw
