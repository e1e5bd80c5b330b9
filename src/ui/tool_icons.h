#pragma once
// Toolbar icons: the desktop theme's icon under its standard name, else one drawn here as
// vectors, so it stays sharp at any scale.
#include <QIcon>

namespace fw {

// The icon for a toolbar command id; a null icon for ids without one.
QIcon ToolIcon(int commandId);
// The drawn icon alone, whatever the theme holds (for tests and screenshots).
QIcon DrawnToolIcon(int commandId);

}  // namespace fw
