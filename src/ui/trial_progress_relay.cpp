#include "ui/trial_progress_relay.h"

namespace fw {

void TrialProgressRelay::setRange(int maximum) { emit rangeChanged(maximum); }
void TrialProgressRelay::setPosition(int position) { emit positionChanged(position); }
void TrialProgressRelay::setText(const std::string& text) { emit textChanged(QString::fromStdString(text)); }

}  // namespace fw
