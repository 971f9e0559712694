// Menus, items, separators and exclusive groups of the menu bar, each named after its control.
#include "recorder/ui/qt/menu_builder.h"

#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <algorithm>
#include <map>

namespace zetra::ui {

// Standard key sequences where the platform has one, so each desktop shows its own convention;
// the written sequence where the platform has none (some have no Save as key).
QKeySequence key_sequence(const std::string& text) {
  static const std::map<std::string, QKeySequence::StandardKey> standard = {
      {"Ctrl+N", QKeySequence::New},   {"Ctrl+O", QKeySequence::Open},
      {"Ctrl+S", QKeySequence::Save},  {"Ctrl+Shift+S", QKeySequence::SaveAs},
      {"Ctrl+P", QKeySequence::Print},
      {"Ctrl+X", QKeySequence::Cut},   {"Ctrl+C", QKeySequence::Copy},
      {"Ctrl+V", QKeySequence::Paste}, {"Del", QKeySequence::Delete},
      {"F1", QKeySequence::HelpContents}};
  auto it = standard.find(text);
  if (it != standard.end()) {
    QKeySequence sequence(it->second);
    if (!sequence.isEmpty()) return sequence;
  }
  return QKeySequence::fromString(QString::fromStdString(text), QKeySequence::PortableText);
}

namespace {

// Every sequence of a shortcut text; alternatives are separated by "; " ("Ctrl+Shift+Z; Ctrl+Y").
QList<QKeySequence> key_sequences(const std::string& text) {
  QList<QKeySequence> sequences;
  size_t from = 0;
  while (from <= text.size()) {
    const size_t end = std::min(text.find("; ", from), text.size());
    sequences.append(key_sequence(text.substr(from, end - from)));
    from = end + 2;
  }
  return sequences;
}

class MenuBuilder {
 public:
  MenuBuilder(QMenuBar& bar, const platform::SerialPort& port,
              const std::function<void(const std::string&)>& triggered, ViewBindings& bindings)
      : bar_(bar), port_(port), triggered_(triggered), bindings_(bindings) {}

  void add(Control& control) {
    switch (control.kind) {
      case ControlKind::Menu: add_menu(control); break;
      case ControlKind::MenuItem: add_item(control); break;
      case ControlKind::Separator: add_separator(control); break;
      default: break;
    }
  }

 private:
  void add_menu(Control& control) {
    auto parent = menus_.find(control.parent);
    QMenu* menu = parent == menus_.end() ? bar_.addMenu(display_text(control.caption))
                                         : parent->second->addMenu(display_text(control.caption));
    menu->setObjectName(QString::fromStdString(control.name));
    menu->menuAction()->setObjectName(QString::fromStdString(control.name));
    menu->setToolTipsVisible(true);
    menus_[control.name] = menu;
    bindings_.actions.emplace_back(&control, menu->menuAction());
  }

  void add_item(Control& control) {
    QAction* action = menus_.at(control.parent)->addAction(display_text(control.caption));
    action->setObjectName(QString::fromStdString(control.name));
    action->setStatusTip(status_tip(control, port_));
    if (!control.shortcut.empty()) action->setShortcuts(key_sequences(control.shortcut));
    if (!control.group.empty()) {
      action->setCheckable(true);
      group(control.group)->addAction(action);
    }
    // The builder is gone when the action fires: the slot keeps its own copies.
    QObject::connect(action, &QAction::triggered, &bar_,
                     [triggered = triggered_, name = control.name] { triggered(name); });
    bindings_.actions.emplace_back(&control, action);
  }

  void add_separator(Control& control) {
    QAction* action = menus_.at(control.parent)->addSeparator();
    action->setObjectName(QString::fromStdString(control.name));
    bindings_.actions.emplace_back(&control, action);
  }

  QActionGroup* group(const std::string& name) {
    QActionGroup*& group = groups_[name];
    if (!group) {
      group = new QActionGroup(&bar_);
      group->setObjectName(QString::fromStdString(name));
      group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
    return group;
  }

  QMenuBar& bar_;
  const platform::SerialPort& port_;
  const std::function<void(const std::string&)>& triggered_;
  ViewBindings& bindings_;
  std::map<std::string, QMenu*> menus_;
  std::map<std::string, QActionGroup*> groups_;
};

}  // namespace

QString status_tip(const Control& item, const platform::SerialPort& port) {
  if (!item.tool_tip.empty()) return QString::fromStdString(item.tool_tip);
  if (item.name.size() == 5 && item.name.compare(0, 4, "pcom") == 0) {
    const int number = item.name[4] - '0';
    if (number >= 1 && number <= 4) return QString::fromStdString(port.device_path(number));
  }
  return {};
}

void build_menus(QMenuBar& bar, WindowModel& window, const platform::SerialPort& port,
                 const std::function<void(const std::string&)>& triggered,
                 ViewBindings& bindings) {
  MenuBuilder builder(bar, port, triggered, bindings);
  for (Control* control : window.controls()) builder.add(*control);
}

}  // namespace zetra::ui
