#pragma once
// Installs the window's dialogs as the questions the merge asks (frame size, palette); with
// nullptr removes them, so the stored choices apply again.
class QWidget;

namespace fw {

void InstallMergeQuestions(QWidget* parent);

}  // namespace fw
