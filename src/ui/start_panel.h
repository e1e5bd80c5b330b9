#pragma once
// The panel the empty strip shows while no animation is open: a greeting and three large
// buttons (open, new from files, tutorial) that send their commands to the window.
#include <QWidget>

namespace fw {

class StartPanel : public QWidget {
  Q_OBJECT
 public:
  explicit StartPanel(QWidget* parent);
  // The commands behind the three buttons, top to bottom.
  static constexpr int kCommands[3] = {1002, 40013, 40127};

 signals:
  void command(int id);

 protected:
  void paintEvent(QPaintEvent*) override;
};

}  // namespace fw
