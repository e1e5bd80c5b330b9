#include "app/preferences/merge_questions.h"

#include <QApplication>
#include <QPointer>
#include <QThread>

#include "app/preferences/palette_merge_dialog.h"
#include "app/preferences/size_conflict_dialog.h"
#include "core/frame_size_question.h"
#include "core/preferences.h"
#include "imaging/palette_merge.h"

namespace fw {
namespace {

// Dialogs belong to the interface thread; a merge run elsewhere keeps the stored choice.
bool OnInterfaceThread() { return QApplication::instance() && QThread::currentThread() == qApp->thread(); }

}  // namespace

void InstallMergeQuestions(QWidget* parent) {
  if (!parent) {
    SetFrameSizeAsker(nullptr);
    SetPaletteMergeAsker(nullptr);
    return;
  }
  QPointer<QWidget> owner(parent);
  SetFrameSizeAsker([owner](uint32_t policy) {
    if (!OnInterfaceThread())
      return (policy & pref::kSizeEnlarge) ? FrameSizeChoice::Enlarge : FrameSizeChoice::Clip;
    return AskFrameSize(policy, owner.data());
  });
  SetPaletteMergeAsker([owner](uint32_t& word, bool singleImport) {
    if (!OnInterfaceThread()) return true;
    return AskPaletteMerge(word, singleImport, owner.data());
  });
}

}  // namespace fw
