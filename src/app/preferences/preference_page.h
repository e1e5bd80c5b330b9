#pragma once
// One page of the preferences sheet: filled from the preferences when built, checked when the
// user leaves it, written back when the sheet is confirmed.
#include <QString>
#include <QWidget>
#include <cstdint>

class QAbstractButton;

namespace fw {

// What a confirmed sheet changed that the window has to act on.
struct PreferencesOutcome {
  bool accepted = false;
  bool signatureChanged = false;  // the setting or its text: the document must be saved again
  bool interlaceChanged = false;  // frames may have to lose their interlace flag
};

class PreferencePage : public QWidget {
  Q_OBJECT
 public:
  // `templateId` names the page ("page<id>") so that tests and helpers can find it.
  PreferencePage(int templateId, const QString& title, QWidget* parent = nullptr);
  int templateId() const { return templateId_; }
  QString title() const { return title_; }

  // Checks the page's fields; on a problem shows its message and returns the field that needs
  // the user's attention, otherwise nullptr.
  virtual QWidget* invalidField() { return nullptr; }
  virtual void commit(PreferencesOutcome& outcome) = 0;

 private:
  int templateId_;
  QString title_;
};

// The objectName every control carries: "c" and its numeric id.
QString ControlName(int id);
// Names a control by its id and returns it.
template <typename W>
W* Named(W* widget, int id) {
  widget->setObjectName(ControlName(id));
  return widget;
}

// Pages share words with each other and with the purpose presets, so each writes only what
// its user changed: `shown` is the word as the page was filled, `proposed` what its controls
// now say, and everything the page did not change keeps its current value.
// A multi-bit field (a mode, a count, a whole number) is written whole when any of its bits
// changed.
void CommitField(int index, uint32_t mask, uint32_t shown, uint32_t proposed);
// Independent flags: each changed bit of `mask` is written on its own.
void CommitFlags(int index, uint32_t mask, uint32_t shown, uint32_t proposed);
void CommitFlag(int index, uint32_t bit, bool shown, bool proposed);

// Shows a numbered message under a numbered caption, as the page checks do.
void ShowFieldMessage(int textId, int captionId);

}  // namespace fw
