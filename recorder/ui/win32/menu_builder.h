// The menu bar from the menu controls of the window model: popups, items with their key texts,
// separators, and radio checks for the items of an exclusive group. Windows menus cannot hide an
// entry: a change of visibility builds the bar anew; every other change is set item by item.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "recorder/ui/win32/view_bindings.h"
#include "recorder/window/window_model.h"

namespace zetra::ui {

class MenuBar {
 public:
  MenuBar(WindowModel& window, const platform::SerialPort& port);
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;

  // Builds the bar and hands it to `owner`.
  void attach(HWND owner);
  HMENU handle() const { return bar_; }
  // Mirrors captions, enabled states, checks and visibility of every menu entry.
  void sync();
  // The menu item's status tip: its tool tip, or for the COM items the port's device path.
  std::string status_tip(UINT id) const;
  // The control of a command id from the menu, or nullptr.
  const Control* control_of(UINT id) const;

 private:
  HMENU build();
  bool visibility_changed() const;

  WindowModel& window_;
  const platform::SerialPort& port_;
  HWND owner_ = nullptr;
  HMENU bar_ = nullptr;
  std::vector<MenuBinding> entries_;
};

// The command id of a control of the model (its place in the model's order).
UINT command_id(const WindowModel& window, const std::string& name);

}  // namespace zetra::ui
