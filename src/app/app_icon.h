#pragma once
// The program's own icon: the installed theme's copy, else the one built into the program.
#include <QIcon>

namespace fw {

QIcon AppIcon();

}  // namespace fw
