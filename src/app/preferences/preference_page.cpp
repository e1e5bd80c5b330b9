#include "app/preferences/preference_page.h"

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"

namespace fw {

PreferencePage::PreferencePage(int templateId, const QString& title, QWidget* parent)
    : QWidget(parent), templateId_(templateId), title_(title) {
  setObjectName(QStringLiteral("page%1").arg(templateId));
}

QString ControlName(int id) { return QStringLiteral("c%1").arg(id); }

void CommitField(int index, uint32_t mask, uint32_t shown, uint32_t proposed) {
  if (((shown ^ proposed) & mask) == 0) return;
  Prefs().write(index, (Prefs().raw(index) & ~mask) | (proposed & mask));
}

void CommitFlags(int index, uint32_t mask, uint32_t shown, uint32_t proposed) {
  const uint32_t changed = (shown ^ proposed) & mask;
  if (changed) Prefs().write(index, (Prefs().raw(index) & ~changed) | (proposed & changed));
}

void CommitFlag(int index, uint32_t bit, bool shown, bool proposed) {
  if (shown != proposed) Prefs().setBits(index, bit, proposed);
}

void ShowFieldMessage(int textId, int captionId) {
  Messages().ask(textId, MessageText(textId), MessageText(captionId), Buttons::Ok, Answer::Ok);
}

}  // namespace fw
