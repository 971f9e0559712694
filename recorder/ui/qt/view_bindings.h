// Which Qt object shows which control of the window model; filled by the builders, read by sync.
#pragma once

#include <QAction>
#include <QWidget>
#include <utility>
#include <vector>

#include "recorder/window/control.h"

namespace zetra::ui {

struct ViewBindings {
  // Menu items and separators, and each menu's own action (its title in the bar or parent menu).
  std::vector<std::pair<Control*, QAction*>> actions;
  // Buttons, labels, boxes, panels, scroll bars, the chart and the status bar.
  std::vector<std::pair<Control*, QWidget*>> widgets;
};

// A caption as Qt shows it: '&' would otherwise be taken as a mnemonic marker.
QString display_text(const std::string& caption);

}  // namespace zetra::ui
