#pragma once
// The strip's context menu. The strip knows commands only by id: the window lends it the
// QAction of each id, so the menu greys, ticks and dispatches exactly as the main menu does.
#include <functional>

class QAction;
class QMenu;

namespace fw {

struct CommandProvider {
  // Brings greyed and ticked states up to date; runs before a menu is built.
  std::function<void()> refresh;
  // The window's action for a command id, or nullptr.
  std::function<QAction*(int id)> action;
};

// Fills `menu` with the items for a strip with or without selected frames. Items whose text
// differs from the main menu's are stand-ins owned by `menu` that mirror the window's action
// (enabled state and tool tip) and trigger it.
void BuildStripMenu(QMenu& menu, bool withSelection, const CommandProvider& commands);

}  // namespace fw
