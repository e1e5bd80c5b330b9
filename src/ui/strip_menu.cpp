#include "ui/strip_menu.h"

#include <QAction>
#include <QMenu>

namespace fw {
namespace {

struct Item {
  int id;                        // 0 separator, -1 opens the Rotate submenu, -2 closes it
  const char* text = nullptr;    // when the context menu words it differently
};

const Item kWithoutSelection[] = {
    {40004, "粘贴帧(&P)"}, {0}, {40008, "动画属性(&A)..."}, {40052, "全局帧属性(&G)..."}};

const Item kWithSelection[] = {
    {1012},  {40002}, {40012}, {40004, "粘贴在(&P)"}, {0},     {40008, "动画属性(&A)..."},
    {40009}, {40052, "全局帧属性(&G)..."},          {0},     {-1, "旋转"},
    {40074}, {40073}, {40075}, {40076},             {40077}, {-2},
    {40072}, {328},   {40135}, {0},                 {40343}, {40337}};

void AddCommand(QMenu& menu, QAction* source, const char* text) {
  if (!text) {
    menu.addAction(source);
    return;
  }
  auto* standIn = new QAction(QString::fromUtf8(text), &menu);
  standIn->setObjectName(source->objectName());
  standIn->setData(source->data());
  standIn->setEnabled(source->isEnabled());
  standIn->setToolTip(source->toolTip());
  QObject::connect(standIn, &QAction::triggered, source, &QAction::trigger);
  menu.addAction(standIn);
}

template <size_t N>
void Fill(QMenu& menu, const Item (&items)[N], const CommandProvider& commands) {
  QMenu* target = &menu;
  for (const Item& item : items) {
    if (item.id == 0) {
      target->addSeparator();
    } else if (item.id == -1) {
      target = menu.addMenu(QString::fromUtf8(item.text));
      target->setToolTipsVisible(true);
    } else if (item.id == -2) {
      target = &menu;
    } else if (QAction* source = commands.action ? commands.action(item.id) : nullptr) {
      AddCommand(*target, source, item.text);
    }
  }
}

}  // namespace

void BuildStripMenu(QMenu& menu, bool withSelection, const CommandProvider& commands) {
  if (commands.refresh) commands.refresh();
  menu.setToolTipsVisible(true);
  if (withSelection) Fill(menu, kWithSelection, commands);
  else Fill(menu, kWithoutSelection, commands);
}

}  // namespace fw
