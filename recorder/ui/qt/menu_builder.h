// Builds the menu bar from the menu controls of the window model.
#pragma once

#include <QKeySequence>
#include <QMenuBar>
#include <functional>
#include <string>

#include "platform/serial_port.h"
#include "recorder/ui/qt/view_bindings.h"
#include "recorder/window/window_model.h"

namespace zetra::ui {

// Creates a QMenu per menu control and a QAction per item and separator, in model order, with one
// QActionGroup per exclusive group. `triggered` is called with the item's name on every trigger.
void build_menus(QMenuBar& bar, WindowModel& window, const platform::SerialPort& port,
                 const std::function<void(const std::string&)>& triggered,
                 ViewBindings& bindings);

// A control's key text ("Ctrl+S", "Del", "F1") as a key sequence: the platform's standard one
// where it has one, else the text itself.
QKeySequence key_sequence(const std::string& text);

// The status tip of a menu item: its tool tip, or for the COM items the port's device path.
QString status_tip(const Control& item, const platform::SerialPort& port);

}  // namespace zetra::ui
