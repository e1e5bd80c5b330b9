// The "Properties" sheet behind frame properties (40009), global frame properties (40052) and
// animation properties (40008): which pages it shows, and what their confirmation does.
#include <QFileInfo>

#include "app/commands.h"
#include "imaging/frame_property_edits.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "ui/animation_property_page.h"
#include "ui/frame_strip.h"
#include "ui/frame_property_page.h"
#include "ui/index_chooser.h"
#include "ui/property_sheet.h"

namespace fw {
namespace {

std::optional<int> SharedSide(const std::vector<ImageBlock*>& frames, bool width) {
  if (frames.empty()) return std::nullopt;
  const int first = width ? frames.front()->width : frames.front()->height;
  for (const ImageBlock* f : frames)
    if ((width ? f->width : f->height) != first) return std::nullopt;
  return first;
}

// The chooser only picks: the page applies its choice inside its own undo step, and a
// cancelled sheet leaves the frames as they were.
std::optional<std::vector<int>> PickTransparency(QWidget* parent, const ImageBlock* frame) {
  if (!frame || !frame->activePalette) return std::nullopt;
  IndexChooser chooser(TransparencySubject(*frame), parent);
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  return chooser.chosen();
}

std::optional<int> PickBackground(QWidget* parent, const AnimHeader& doc, int current) {
  if (!doc.globalPalette) return std::nullopt;
  IndexChooserSubject subject;
  subject.title = QString::fromUtf8("选择GIF背景色");
  subject.palette = doc.globalPalette.get();
  const ImageBlock* first = FirstImage(&doc);
  subject.image = first && first->activePalette == doc.globalPalette.get() ? first->indexedImage.get() : nullptr;
  subject.chosen.push_back(current);
  IndexChooser chooser(subject, parent);
  if (chooser.exec() != QDialog::Accepted || chooser.chosen().empty()) return std::nullopt;
  return chooser.chosen().front();
}

}  // namespace

void MainWindow::showProperties(int command) {
  AnimHeader* doc = document();
  if (!doc) return;
  if (command == cmd::kFrameProperties && current_ < 0) command = cmd::kAnimProperties;
  const int current = current_;
  auto pageContext = [&](const std::vector<ImageBlock*>& frames, bool several) {
    FramePageContext c;
    c.shared = SharedFrameFields(frames);
    c.several = several;
    c.width = SharedSide(frames, true).value_or(-1);
    c.height = SharedSide(frames, false).value_or(-1);
    c.screenWidth = doc->screenWidth;
    c.screenHeight = doc->screenHeight;
    const ImageBlock* shown = current >= 0 ? ImageAt(doc, current) : nullptr;
    if (!shown && !frames.empty()) shown = frames.front();
    c.canEditLocalPalette = !several && shown && shown->localPalette;
    c.chooseTransparency = [this, shown] { return PickTransparency(this, shown); };
    c.editLocalPalette = [this, current] { editLocalPalette(current); };
    return c;
  };

  PropertySheet sheet(this);
  FramePropertyPage* framePage = nullptr;
  const bool several = doc->selectedCount > 1;
  if (command == cmd::kFrameProperties) {
    framePage = new FramePropertyPage(
        pageContext(several ? SelectedFrames(*doc) : CurrentFrameOnly(*doc, current), several), &sheet);
    sheet.addPage(framePage, QString::fromUtf8(several ? "多帧" : "帧"));
  }
  auto* globalPage = new FramePropertyPage(pageContext(AllFrames(*doc), true), &sheet);
  globalPage->setObjectName(QStringLiteral("GlobalPage"));
  sheet.addPage(globalPage, QString::fromUtf8("全局属性"));
  AnimationPageContext animation;
  animation.documentName = state_.fileName.empty() ? QString()
                                                   : QFileInfo(QString::fromStdString(state_.fileName)).fileName();
  animation.editGlobalPalette = [this, current] { editGlobalPalette(current); };
  animation.chooseBackground = [this, doc](int index) { return PickBackground(this, *doc, index); };
  auto* animationPage = new AnimationPropertyPage(*doc, animation, &sheet);
  sheet.addPage(animationPage, QString::fromUtf8("动画"));
  if (command == cmd::kFrameProperties) sheet.showPage(framePage);
  else if (command == cmd::kAnimProperties) sheet.showPage(animationPage);
  else sheet.showPage(globalPage);

  if (sheet.exec() != QDialog::Accepted) return;
  stopWorkersAndPreview();
  // Each page that changed something is its own undo step, in the sheet's order.
  FrameEditResult frames;
  auto merge = [&frames](const FrameEditResult& r) {
    frames.changed |= r.changed;
    frames.pixels |= r.pixels;
    frames.offsets |= r.offsets;
    frames.delays |= r.delays;
    frames.restored |= r.restored;
  };
  if (framePage)
    merge(ApplyFrameEdits(*doc, several ? FrameScope::kSelected : FrameScope::kCurrent, current, framePage->edits()));
  const bool frameOnly = framePage && !several && frames.changed;
  const FrameEditResult all = ApplyFrameEdits(*doc, FrameScope::kAll, current, globalPage->edits());
  merge(all);
  const AnimationEditResult header = ApplyAnimationEdits(*doc, animationPage->edits());
  if (!frames.changed && !header.changed) {
    // The strip's cells must not outlive the blocks a restored copy replaced.
    if (frames.restored) strip_->documentChanged();
    afterNothingChanged();
    return;
  }
  // A change confined to the current frame's look redraws only its cell; moved frames and a
  // new screen size lay the strip out anew.
  if (frameOnly && !all.changed && !header.changed && !frames.offsets) afterEdit(false, true, current);
  else afterEdit(false, true);
}

}  // namespace fw
