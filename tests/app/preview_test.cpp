// The animation preview driven offscreen on a fake clock: playback timing and loop rules,
// the positions it shows, its composition, and the timing editor with its one undo step.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/compositor.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "support/test_support.h"
#include "ui/preview_dialog.h"
#include "ui/property_bar.h"
#include "ui/show_anim_view.h"
#include "ui/strip_geometry.h"

using namespace fw;

namespace {

// Time moves only when a test says so; a wake-up fires when time reaches it, `lateness`
// milliseconds late, as a busy machine would fire it.
class FakeClock : public PlaybackClock {
 public:
  qint64 now() const override { return now_; }
  void wakeAt(qint64 due, std::function<void()> wake) override {
    due_ = due;
    wake_ = std::move(wake);
  }
  void cancel() override { wake_ = nullptr; }
  bool pending() const { return static_cast<bool>(wake_); }
  qint64 due() const { return due_; }
  void advance(qint64 ms) {
    const qint64 target = now_ + ms;
    while (wake_ && due_ + lateness <= target) {
      now_ = std::max(now_, due_ + lateness);
      std::function<void()> wake = std::move(wake_);
      wake_ = nullptr;
      wake();
    }
    now_ = target;
  }
  // Runs to the next wake-up; false when none is pending.
  bool fireNext() {
    if (!wake_) return false;
    advance(std::max<qint64>(0, due_ + lateness - now_));
    return true;
  }
  qint64 lateness = 0;

 private:
  qint64 now_ = 1000;
  qint64 due_ = 0;
  std::function<void()> wake_;
};

struct Preview {
  std::unique_ptr<PreviewDialog> dialog;
  FakeClock* clock = nullptr;
  PreviewDialog* operator->() const { return dialog.get(); }
  template <typename T>
  T* child(int id) const {
    return dialog->findChild<T*>(QStringLiteral("c%1").arg(id));
  }
  QString shownFrame() const { return child<QLabel>(1098)->text(); }
};

Preview Open(AnimHeader& doc, PreviewDialog::Options options = {}) {
  auto clock = std::make_unique<FakeClock>();
  Preview p;
  p.clock = clock.get();
  p.dialog = std::make_unique<PreviewDialog>(doc, options, nullptr, std::move(clock));
  p.dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  return p;
}

// Frames that fill the screen, each in its own colour, with the given delays.
AnimPtr Frames(const std::vector<int>& delays) {
  AnimPtr doc = test::NewDocument(6, 4, 16);
  for (size_t i = 0; i < delays.size(); ++i)
    test::AddFrame(*doc, 0, 0, 6, 4, [i](int, int) { return static_cast<int>(i) + 1; }).delay = delays[i];
  return doc;
}

std::vector<int> Delays(const AnimHeader& doc) {
  std::vector<int> out;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) out.push_back(f->delay);
  return out;
}

QRgb PaletteColour(const AnimHeader& doc, int index) {
  const Rgb c = (*doc.globalPalette)[index];
  return qRgb(c.r, c.g, c.b);
}

// Frame numbers shown from now until playback stops (at most `limit` steps).
std::vector<int> PlayedFrames(const Preview& p, int limit = 100) {
  std::vector<int> shown{p.shownFrame().toInt()};
  while (p->playing() && limit-- > 0 && p.clock->fireNext())
    if (p->playing()) shown.push_back(p.shownFrame().toInt());
  return shown;
}

void TypeInto(QLineEdit* field, const QString& text) {
  QWidget* window = field->window();
  window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window));
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, text);
}

void ApplyAll(const Preview& p, DelayOperation operation, const QString& value) {
  const char* names[] = {"delaySet", "delayAdd", "delaySubtract", "delayMultiply", "delayDivide"};
  p.dialog->findChild<QAction*>(QString::fromLatin1(names[static_cast<int>(operation)]))->trigger();
  TypeInto(p.child<QLineEdit>(1072), value);
  QTest::keyClick(p.child<QLineEdit>(1072), Qt::Key_Return);
}

QString WriteGif(const test::TempDir& dir, const std::vector<int>& delays) {
  AnimPtr doc = Frames(delays);
  const std::string path = dir.file("anim.gif");
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

}  // namespace

class PreviewTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void delaysSetTheIntervalsWithoutDrift();
  void loopCountAndTheForeverPreference();
  void selectionOnlyShowsTheSelectedFramesInOrder();
  void hiddenFirstFrameIsNeverDrawn();
  void everyLoopShowsWhatTheFirstShowed();
  void navigationWrapsAndSeeksComposeAsFromTheStart();
  void timingFieldsEditAroundTheFrameOnShow();
  void allFrameOperationsShareOneUndoStep();
  void viewFailureAndFullScreen();
  void shellChangesAndPartnerViews();
  void mainWindowOpensTimingModeAndKeepsItThroughReset();
  void browserModePlaysShortDelaysAsBrowsersDo();
  void webSafeDelaysAreOneUndoStepAndEndTheWarning();

};

void PreviewTest::delaysSetTheIntervalsWithoutDrift() {
  AnimPtr doc = Frames({0, 5, 1});
  doc->playCount = 0;
  Preview p = Open(*doc);
  p->begin();
  QVERIFY(p->playing());
  QCOMPARE(p->position(), 1);
  QCOMPARE(p.clock->due() - p.clock->now(), qint64{1});  // delay 0 is shown for 1 ms
  p.clock->advance(1);
  QCOMPARE(p->position(), 2);
  QCOMPARE(p->currentInterval(), 50);
  QCOMPARE(p.clock->due(), qint64{1051});

  // Each step is due one interval after the last one was due, however late the timer fires.
  p.clock->lateness = 3;
  p.clock->advance(50);
  QCOMPARE(p->position(), 2);
  p.clock->fireNext();  // at 1054
  QCOMPARE(p->position(), 3);
  QCOMPARE(p.clock->due(), qint64{1051 + 10});
  // A frame shorter than the lateness cannot be made up: the next one follows at once,
  // without a burst of catching up.
  p.clock->fireNext();  // at 1064
  QCOMPARE(p->position(), 1);
  QCOMPARE(p.clock->due(), qint64{1064});
  p.clock->fireNext();
  QCOMPARE(p->position(), 2);
  QCOMPARE(p.clock->due(), qint64{1064 + 50});

  // Stop halts the clock; the stop button is live only while playing.
  QVERIFY(p.child<QToolButton>(1061)->isEnabled());
  p.child<QToolButton>(1061)->click();
  QVERIFY(!p->playing());
  QVERIFY(!p.clock->pending());
  QVERIFY(!p.child<QToolButton>(1061)->isEnabled());
  QVERIFY(!p.child<QToolButton>(1060)->isChecked());
}

void PreviewTest::loopCountAndTheForeverPreference() {
  AnimPtr doc = Frames({2, 2, 2});
  doc->playCount = 1;
  {
    Preview p = Open(*doc);
    p->begin();
    QCOMPARE(PlayedFrames(p), (std::vector<int>{1, 2, 3}));
    QVERIFY(!p->playing());
    QCOMPARE(p->position(), 3);  // stops on the last frame
    QCOMPARE(p.shownFrame(), QStringLiteral("3"));
  }
  doc->playCount = 2;
  {
    Preview p = Open(*doc);
    p->begin();
    QCOMPARE(PlayedFrames(p), (std::vector<int>{1, 2, 3, 1, 2, 3}));
    // Play again from the button: the loop count starts over.
    p.child<QToolButton>(1060)->click();
    QCOMPARE(PlayedFrames(p).size(), size_t{6});
  }
  doc->playCount = 1;
  Prefs().setBits(pref::kOptionFlags, 1u << 12, true);
  {
    Preview p = Open(*doc);
    p->begin();
    QCOMPARE(PlayedFrames(p, 30).size(), size_t{31});
    QVERIFY(p->playing());
  }
}

void PreviewTest::selectionOnlyShowsTheSelectedFramesInOrder() {
  AnimPtr doc = Frames({1, 2, 3, 4, 5});
  SelectFrames(*doc, 1, kSelectPlain);
  SelectFrames(*doc, 4, kSelectToggle);
  doc->hideFirstFrame = 1;  // has no say over a selection
  Preview p = Open(*doc, {.selectionOnly = true});
  p->begin();
  QCOMPARE(p->positionCount(), 2);
  auto* slider = p.child<QSlider>(1100);
  QCOMPARE(slider->minimum(), 1);
  QCOMPARE(slider->maximum(), 2);
  QCOMPARE(p.shownFrame(), QStringLiteral("2"));
  QCOMPARE(p->currentInterval(), 20);
  p.clock->fireNext();
  QCOMPARE(p.shownFrame(), QStringLiteral("5"));
  QCOMPARE(slider->value(), 2);
  QCOMPARE(p->view()->picture().pixel(0, 0), PaletteColour(*doc, 5));
}

void PreviewTest::hiddenFirstFrameIsNeverDrawn() {
  // Frame 1 would colour the whole screen; the others cover only its left half.
  AnimPtr doc = test::NewDocument(6, 4, 16);
  test::AddFrame(*doc, 0, 0, 6, 4, [](int, int) { return 9; });
  test::AddFrame(*doc, 0, 0, 3, 4, [](int, int) { return 2; }).delay = 1;
  test::AddFrame(*doc, 0, 0, 3, 4, [](int, int) { return 3; }).delay = 1;
  doc->hideFirstFrame = 1;
  doc->playCount = 0;
  Prefs().write(pref::kPreviewBackground, 0x123456u | 1u << 24);
  Preview p = Open(*doc);
  p->begin();
  QCOMPARE(p->positionCount(), 2);
  QCOMPARE(p.child<QSlider>(1100)->maximum(), 2);
  QCOMPARE(p->view()->background(), QColor(0x12, 0x34, 0x56));
  const QRgb hidden = PaletteColour(*doc, 9);
  // Two passes, wrapping past the last frame each time.
  for (int step = 0; step < 5; ++step) {
    QVERIFY(p.shownFrame() == QStringLiteral("2") || p.shownFrame() == QStringLiteral("3"));
    const QImage shown = p->view()->picture();
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) QVERIFY(shown.pixel(x, y) != hidden);
    QCOMPARE(shown.pixel(5, 0), qRgb(0x12, 0x34, 0x56));
    p.clock->fireNext();
  }
  // A new background recomposes what is on show over it.
  p->setBackgroundColour(QColor(0, 0, 255));
  QCOMPARE(p->view()->picture().pixel(5, 0), qRgb(0, 0, 255));
}

void PreviewTest::everyLoopShowsWhatTheFirstShowed() {
  // A sprite moving right that restores to background, and whose last step stays: the next
  // loop must not show that last step behind the first.
  AnimPtr doc = test::NewDocument(8, 2, 16);
  for (int i = 0; i < 3; ++i) {
    ImageBlock& f = test::AddFrame(*doc, i * 3, 0, 2, 2, [i](int x, int) { return x ? 0 : 4 + i; });
    SetTransparency(f, true);
    SetDisposal(f, i < 2 ? kDisposalBackground : kDisposalLeave);
    f.delay = 5;
  }
  doc->playCount = 3;
  Preview p = Open(*doc);
  p->begin();
  std::vector<QImage> shown;
  for (int step = 0; step < 9 && p->playing(); ++step) {
    shown.push_back(p->view()->picture().copy());
    p.clock->fireNext();
  }
  QCOMPARE(static_cast<int>(shown.size()), 9);
  for (size_t i = 3; i < shown.size(); ++i) QCOMPARE(shown[i], shown[i % 3]);
  QVERIFY(shown[0] != shown[1]);
}

void PreviewTest::navigationWrapsAndSeeksComposeAsFromTheStart() {
  // A full base frame, then frames that restore to the previous picture and to background.
  AnimPtr doc = test::NewDocument(8, 6, 16);
  doc->backgroundIndex = 7;
  test::AddFrame(*doc, 0, 0, 8, 6, [](int x, int y) { return (x + y) % 3; });
  SetDisposal(test::AddFrame(*doc, 1, 1, 5, 4, [](int x, int) { return 4 + x % 2; }), kDisposalPrevious);
  SetDisposal(test::AddFrame(*doc, 3, 2, 4, 3, [](int, int) { return 6; }), kDisposalBackground);
  test::AddFrame(*doc, 0, 0, 8, 2, [](int x, int) { return x % 2 ? 8 : 10; });
  ImageBlock& keyed = test::AddFrame(*doc, 2, 0, 3, 6, [](int x, int) { return x == 1 ? 12 : 11; });
  SetTransparentIndex(keyed, 12);
  SetTransparency(keyed, true);
  SetDisposal(keyed, kDisposalPrevious);
  std::vector<QImage> expected;
  Compositor compositor(*doc);
  for (const ImageBlock* c = compositor.first(); c; c = compositor.next()) {
    QImage picture(8, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) picture.setPixel(x, y, PaletteColour(*doc, c->indexedImage->row(y)[x]));
    expected.push_back(picture);
  }
  Prefs().write(pref::kPreviewBackground, (PaletteColour(*doc, 7) & 0xFFFFFFu) | 1u << 24);

  Preview p = Open(*doc, {.timing = true, .startFrame = 0});
  p->begin();
  QVERIFY(!p->playing());
  QCOMPARE(p->position(), 1);
  // Previous from the first position goes round to the last.
  p.child<QToolButton>(1063)->click();
  QCOMPARE(p->position(), 5);
  QCOMPARE(p.shownFrame(), QStringLiteral("5"));
  QCOMPARE(p->view()->picture(), expected[4]);
  // Backwards and forwards, by buttons and the slider: always what a player shows.
  p.child<QToolButton>(1063)->click();
  QCOMPARE(p->view()->picture(), expected[3]);
  auto* slider = p.child<QSlider>(1100);
  slider->setValue(2);
  QCOMPARE(p->position(), 2);
  QCOMPARE(p->view()->picture(), expected[1]);
  p.child<QToolButton>(1064)->click();
  QCOMPARE(p->view()->picture(), expected[2]);
  p.child<QToolButton>(1062)->click();
  QCOMPARE(p->view()->picture(), expected[0]);
  p.child<QToolButton>(1065)->click();
  QCOMPARE(p->view()->picture(), expected[4]);
  // A line step past the end of the slider comes round at the other end, and back.
  slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  QCOMPARE(p->position(), 1);
  slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
  QCOMPARE(p->position(), 5);
  // Playing after navigation starts from the first position again.
  p.child<QToolButton>(1060)->click();
  QCOMPARE(p->position(), 1);
  QCOMPARE(p->view()->picture(), expected[0]);

  // Zoom: twice the screen, then half of it, then back to 1:1.
  p.child<QToolButton>(40038)->click();
  QCOMPARE(p->view()->shownSize(), QSize(16, 12));
  for (int i = 0; i < 2; ++i) p.child<QToolButton>(40039)->click();
  QCOMPARE(p->view()->shownSize(), QSize(4, 3));
  p.child<QToolButton>(40069)->click();
  QCOMPARE(p->view()->shownSize(), QSize(8, 6));
  QVERIFY(!p.child<QToolButton>(40069)->isEnabled());
}

void PreviewTest::timingFieldsEditAroundTheFrameOnShow() {
  AnimPtr doc = Frames({10, 20, 30});
  Preview p = Open(*doc, {.timing = true, .startFrame = 0});
  QSignalSpy panel(p.dialog.get(), &PreviewDialog::timingPanelToggled);
  QSignalSpy written(p.dialog.get(), &PreviewDialog::delaysWritten);
  p->begin();
  QCOMPARE(panel.size(), 1);
  QCOMPARE(panel.at(0).at(0).toBool(), true);
  auto* before = p.child<QLineEdit>(1070);
  auto* after = p.child<QLineEdit>(1071);
  QCOMPARE(p.child<QLineEdit>(1240)->text(), QStringLiteral("1"));
  QCOMPARE(before->text(), QStringLiteral("30"));  // the first position's previous is the last
  QCOMPARE(after->text(), QStringLiteral("10"));
  QVERIFY(before->isEnabled());
  for (auto [id, tip] : {std::pair{1070, 40290}, {1071, 40291}, {1240, 40295}, {1072, 40306}, {1241, 40297}})
    QCOMPARE(p.dialog->findChild<QWidget*>(QStringLiteral("c%1").arg(id))->toolTip(),
             QString::fromUtf8(MessageText(tip)));

  // Typing a delay writes it at once; out of range it is shown and written as the maximum.
  p.child<QToolButton>(1060)->click();
  QVERIFY(p->playing());
  TypeInto(after, QStringLiteral("15"));
  QVERIFY(!p->playing());  // focusing the field stopped playback
  QCOMPARE(Delays(*doc), (std::vector<int>{15, 20, 30}));
  TypeInto(before, QStringLiteral("70000"));
  QCOMPARE(before->text(), QStringLiteral("65535"));
  QCOMPARE(Delays(*doc), (std::vector<int>{15, 20, 65535}));
  QVERIFY(written.size() >= 2);
  QCOMPARE(UndoCount(), 1);
  QCOMPARE(CurrentUndoKind(), undo_kind::kEditTiming);
  QVERIFY(p.child<QToolButton>(1241)->isEnabled());

  // The panel follows the frame on show; the timing toggle hides it and says so.
  p.child<QToolButton>(1064)->click();
  QCOMPARE(before->text(), QStringLiteral("15"));
  QCOMPARE(after->text(), QStringLiteral("20"));
  p.child<QToolButton>(40289)->click();
  QVERIFY(!p->timingMode());
  QCOMPARE(panel.last().at(0).toBool(), false);

  // A single frame has no other delay before it.
  AnimPtr single = Frames({4});
  Preview q = Open(*single, {.timing = true, .startFrame = 0});
  q->begin();
  QVERIFY(!q.child<QLineEdit>(1070)->isEnabled());
  QCOMPARE(q.child<QLineEdit>(1071)->text(), QStringLiteral("4"));
}

void PreviewTest::allFrameOperationsShareOneUndoStep() {
  AnimPtr doc = Frames({10, 20, 30, 40});
  doc->hideFirstFrame = 1;  // the hidden frame is not previewed, so not retimed
  Preview p = Open(*doc, {.timing = true, .startFrame = 1});
  QObject::connect(p.dialog.get(), &PreviewDialog::undoRequested, [&] { ApplyUndo(*doc, false); });
  p->begin();
  auto* apply = p.dialog->findChild<QToolButton*>(QStringLiteral("delayApply"));
  QVERIFY(!apply->isEnabled());

  ApplyAll(p, DelayOperation::kSet, QStringLiteral("7"));
  QVERIFY(apply->isEnabled());
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 7, 7, 7}));
  ApplyAll(p, DelayOperation::kAdd, QStringLiteral("3"));
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 10, 10, 10}));
  ApplyAll(p, DelayOperation::kSubtract, QStringLiteral("25"));
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 0, 0, 0}));
  ApplyAll(p, DelayOperation::kSet, QStringLiteral("9"));
  ApplyAll(p, DelayOperation::kMultiply, QStringLiteral("1.5"));
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 14, 14, 14}));
  QCOMPARE(p->delayAt(1), 13.5);  // playback keeps the fraction
  ApplyAll(p, DelayOperation::kDivide, QStringLiteral("-0.5"));
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 27, 27, 27}));
  // A value the operation cannot take changes nothing.
  ApplyAll(p, DelayOperation::kAdd, QStringLiteral("2.5"));
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 27, 27, 27}));
  ApplyAll(p, DelayOperation::kDivide, QStringLiteral("0"));
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 0, 0, 0}));
  QCOMPARE(p.child<QLineEdit>(1071)->text(), QStringLiteral("0"));
  QCOMPARE(p->currentInterval(), 1);
  QCOMPARE(UndoCount(), 1);

  // Reset undoes the one step, reloads the delays and greys itself.
  auto* reset = p.child<QToolButton>(1241);
  QVERIFY(reset->isEnabled());
  reset->click();
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 20, 30, 40}));
  QCOMPARE(p.child<QLineEdit>(1071)->text(), QStringLiteral("20"));
  QVERIFY(!reset->isEnabled());
  // An edit after a reset is a step of its own, which reset undoes in turn.
  ApplyAll(p, DelayOperation::kSet, QStringLiteral("5"));
  QVERIFY(reset->isEnabled());
  QCOMPARE(UndoCount(), 1);
  reset->click();
  QCOMPARE(Delays(*doc), (std::vector<int>{10, 20, 30, 40}));
}

void PreviewTest::viewFailureAndFullScreen() {
  AnimPtr doc = Frames({1, 1});
  {
    const size_t saved = MaxPlaneBytes();
    SetMaxPlaneBytes(16);
    Preview p = Open(*doc);
    QSignalSpy closing(p.dialog.get(), &PreviewDialog::closing);
    p->begin();
    SetMaxPlaneBytes(saved);
    QCOMPARE(messages().ids(), std::vector<int>{40353});
    QCOMPARE(closing.size(), 1);
    QVERIFY(!p->isVisible());
  }
  Prefs().setBits(pref::kOptionFlags, 1u << 20, true);
  {
    Preview p = Open(*doc);
    QSignalSpy closing(p.dialog.get(), &PreviewDialog::closing);
    p->begin();
    QVERIFY(p->fullScreen());
    QVERIFY(p->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!p.child<QSlider>(1100)->isVisible());
    QCOMPARE(p->geometry(), p->screen()->geometry());
    QTest::keyClick(p.dialog.get(), Qt::Key_Escape);
    QCOMPARE(closing.size(), 1);
  }
  // Timing mode always has its controls.
  Preview p = Open(*doc, {.timing = true, .startFrame = 0});
  p->begin();
  QVERIFY(!p->fullScreen());
  const QRect area = p->screen()->availableGeometry().adjusted(10, 10, -10, -10);
  QVERIFY(area.contains(QRect(p->pos(), p->size())));
}

void PreviewTest::shellChangesAndPartnerViews() {
  AnimPtr doc = Frames({10, 20, 30, 40});
  doc->hideFirstFrame = 1;
  Preview p = Open(*doc, {.timing = true, .startFrame = 3});
  p->begin();
  QCOMPARE(p->position(), 3);
  // A delay changed elsewhere lands on the position showing that frame.
  p->setFrameDelay(3, 77);
  QCOMPARE(p->delayAt(3), 77.0);
  QCOMPARE(p.child<QLineEdit>(1071)->text(), QStringLiteral("77"));
  QCOMPARE(p->delayAt(1), 20.0);

  // Frames removed: the positions, the slider and the delays follow; the position is capped.
  RemoveBlock(ImageAt(doc.get(), 2));
  --doc->frameCount;
  p->frameListChanged();
  QCOMPARE(p->positionCount(), 2);
  QCOMPARE(p.child<QSlider>(1100)->maximum(), 2);
  QCOMPARE(p->position(), 2);
  QCOMPARE(p.shownFrame(), QStringLiteral("3"));
  QCOMPARE(p->delayAt(2), 40.0);
  QCOMPARE(p->view()->picture().pixel(0, 0), PaletteColour(*doc, 4));
  // While playing, playback starts over from the first position.
  p->play();
  p.clock->fireNext();
  p->frameListChanged();
  QVERIFY(p->playing());
  QCOMPARE(p->position(), 1);
  // A larger screen: the picture is made again at the new size.
  doc->screenWidth = 9;
  p->screenSizeChanged();
  QCOMPARE(p->view()->picture().size(), QSize(9, 4));
  QCOMPARE(p->position(), 1);

  // Partnered views scroll together, both ways.
  ShowAnimView left, right;
  left.resize(14, 14);  // smaller than the zoomed 36 x 16 picture both ways
  right.resize(14, 14);
  left.show();
  right.show();
  QVERIFY(left.setDocument(doc.get(), false));
  QVERIFY(right.setDocument(doc.get(), false));
  left.setZoom(3);
  right.setZoom(3);
  left.setPartner(&right);
  QCOMPARE(right.partner(), &left);
  left.horizontalScrollBar()->setValue(7);
  QCOMPARE(right.horizontalScrollBar()->value(), 7);
  right.verticalScrollBar()->setValue(2);
  QCOMPARE(left.verticalScrollBar()->value(), 2);
  right.setPartner(nullptr);
  QVERIFY(!left.partner());
}

void PreviewTest::mainWindowOpensTimingModeAndKeepsItThroughReset() {
  test::TempDir dir;
  const QString path = WriteGif(dir, {10, 20, 30});
  MainWindow w;
  QCOMPARE(w.openFiles({path}), 1);
  QVERIFY(!w.preview());  // the window is not shown, so nothing opens by itself
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  auto* barDelay = w.propertyBar()->findChild<QLineEdit*>(QStringLiteral("c40046"));
  QVERIFY(barDelay->isEnabled());

  w.dispatch(40289);
  PreviewDialog* preview = w.preview();
  QVERIFY(preview);
  QVERIFY(preview->timingMode());
  QVERIFY(!preview->playing());
  QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("c1098"))->text(), QStringLiteral("2"));
  QVERIFY(!barDelay->isEnabled());
  QVERIFY(w.action(40010)->isChecked());

  auto* after = preview->findChild<QLineEdit*>(QStringLiteral("c1071"));
  TypeInto(after, QStringLiteral("44"));
  QCOMPARE(Delays(*w.document()), (std::vector<int>{10, 44, 30}));
  QVERIFY(w.isModified());
  QCOMPARE(barDelay->text(), QStringLiteral("44"));
  QVERIFY(!barDelay->isEnabled());  // the refresh keeps it greyed
  QVERIFY(w.action(40001)->isEnabled());

  // Reset goes through the window's undo; the preview stays open with the old delays.
  preview->findChild<QToolButton*>(QStringLiteral("c1241"))->click();
  QCOMPARE(w.preview(), preview);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{10, 20, 30}));
  QCOMPARE(after->text(), QStringLiteral("20"));
  QVERIFY(!preview->findChild<QToolButton*>(QStringLiteral("c1241"))->isEnabled());

  // Any other command closes it, and the bar's delay field comes back.
  w.dispatch(40010);
  QVERIFY(!w.preview());
  QVERIFY(barDelay->isEnabled());
  w.dispatch(40340);
  QVERIFY(w.preview());
  QCOMPARE(w.preview()->positionCount(), 1);
  QVERIFY(w.preview()->playing());
  w.dispatch(40011);
  QVERIFY(!w.preview());

  // Opening an animation in the shown window plays it, unless the preferences say not to.
  w.show();
  messages().sink.scriptedAnswers = {Answer::No};  // keep the retimed file as it is
  Prefs().setBits(pref::kOptionFlags, 1u << 21, true);
  QCOMPARE(w.openFiles({path}), 1);
  QVERIFY(!w.preview());
  Prefs().setBits(pref::kOptionFlags, 1u << 21, false);
  QCOMPARE(w.openFiles({path}), 1);
  QVERIFY(w.preview());
  QVERIFY(w.preview()->playing());

  // A delay typed on the property bar reaches the playing preview, which stays open.
  PreviewDialog* playing = w.preview();
  SelectFrames(*w.document(), 2, kSelectPlain);
  w.setCurrentFrame(2);
  w.setDelayOfSelection(7);
  QCOMPARE(w.preview(), playing);
  QCOMPARE(playing->delayAt(3), 7.0);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{10, 20, 7}));
}

void PreviewTest::browserModePlaysShortDelaysAsBrowsersDo() {
  useStoredPreferences();
  AnimPtr doc = Frames({0, 1, 2, 5});
  doc->playCount = 0;
  auto intervals = [](const Preview& p) {
    std::vector<qint64> out;
    for (int i = 0; i < 4; ++i) {
      out.push_back(p.clock->due() - p.clock->now());
      p.clock->fireNext();
    }
    return out;
  };
  {
    Preview p = Open(*doc);
    QVERIFY(!p->browserTiming());
    p->begin();
    QCOMPARE(intervals(p), (std::vector<qint64>{1, 10, 20, 50}));
  }
  {
    Preview p = Open(*doc);
    p->begin();
    auto* toggle = p.dialog->findChild<QToolButton*>(QStringLiteral("browserTiming"));
    QVERIFY(toggle && toggle->isCheckable());
    toggle->click();
    QVERIFY(p->browserTiming());
    // The frame on show (delay 0, up for no time yet) now stays 100 ms.
    QCOMPARE(p.clock->due() - p.clock->now(), qint64{100});
    QCOMPARE(intervals(p), (std::vector<qint64>{100, 100, 20, 50}));
  }
  // The choice is remembered by the next preview, and switching back restores the stored timing.
  Preview p = Open(*doc);
  QVERIFY(p->browserTiming());
  p->begin();
  QCOMPARE(p.clock->due() - p.clock->now(), qint64{100});
  p.clock->advance(40);
  p->setBrowserTiming(false);
  QCOMPARE(p.clock->due(), p.clock->now());  // already up longer than 1 ms: next frame at once
  p.clock->fireNext();
  QCOMPARE(p->position(), 2);
  QCOMPARE(p.clock->due() - p.clock->now(), qint64{10});
}

void PreviewTest::webSafeDelaysAreOneUndoStepAndEndTheWarning() {
  test::TempDir dir;
  const QString path = WriteGif(dir, {5, 6, 7});
  MainWindow w;
  QCOMPARE(w.openFiles({path}), 1);
  auto* warning = w.findChild<QLabel*>(QStringLiteral("webTimingWarning"));
  QVERIFY(warning);
  QVERIFY(warning->isHidden());

  // The warning follows every way a delay changes: the bar, the timing editor, undo.
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  w.setDelayOfSelection(2);
  QVERIFY(warning->isHidden());
  w.setDelayOfSelection(1);
  QVERIFY(!warning->isHidden());
  QCOMPARE(warning->text(), QString::fromStdString(FormatText(MessageText(40402), 1)));
  w.dispatch(40001);
  QVERIFY(warning->isHidden());

  w.dispatch(40289);
  PreviewDialog* preview = w.preview();
  QVERIFY(preview);
  preview->applyToAllDelays(DelayOperation::kSubtract, 6);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{0, 0, 1}));
  QCOMPARE(warning->text(), QString::fromStdString(FormatText(MessageText(40402), 3)));
  // The editor's button raises them within the window's one undo step.
  preview->findChild<QToolButton*>(QStringLiteral("makeWebSafe"))->click();
  QCOMPARE(Delays(*w.document()), (std::vector<int>{2, 2, 2}));
  QVERIFY(warning->isHidden());
  w.dispatch(40010);
  w.dispatch(40001);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{5, 2, 7}));

  // The menu command: one step of its own, and nothing recorded when nothing needs it.
  SelectFrames(*w.document(), 0, kSelectPlain);
  w.setCurrentFrame(0);
  w.setDelayOfSelection(0);
  QVERIFY(!warning->isHidden());
  w.dispatch(40401);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{2, 2, 7}));
  QVERIFY(warning->isHidden());
  w.dispatch(40001);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{0, 2, 7}));
  w.dispatch(40120);
  w.dispatch(40401);
  QCOMPARE(Delays(*w.document()), (std::vector<int>{2, 2, 7}));
  w.dispatch(40001);  // undoes the real step, not an empty one
  QCOMPARE(Delays(*w.document()), (std::vector<int>{0, 2, 7}));
}

FW_APP_TEST(PreviewTest)
#include "preview_test.moc"
