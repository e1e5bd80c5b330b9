#include "app/app_icon.h"

// Resources of a static library are registered by hand, outside any namespace.
static void RegisterIconResources() { Q_INIT_RESOURCE(app_icons); }

namespace fw {

QIcon AppIcon() {
  static const bool registered = (RegisterIconResources(), true);
  (void)registered;
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/framewright/icon-%1.png").arg(size));
  return QIcon::fromTheme(QStringLiteral("com.tessaly.Framewright"), icon);
}

}  // namespace fw
