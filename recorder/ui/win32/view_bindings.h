// Which Win32 window or menu item shows which control of the window model, with what it showed
// last, so that a sync after every event touches only what changed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "recorder/window/control.h"

namespace zetra::ui {

// What a window or item last showed of its control; `shown` is false before the first sync.
struct Shown {
  bool shown = false;
  std::string caption, tool_tip, access_name, description;
  bool enabled = true, visible = true, checked = false;
  int minimum = 0, maximum = 0, value = 0, small_change = 0, large_change = 0;
};

struct WindowBinding {
  Control* control = nullptr;
  HWND window = nullptr;
  Shown last;
};

// Menus, items and separators of the menu bar; popups carry an id of their own too, so that every
// entry is addressed by its id.
struct MenuBinding {
  Control* control = nullptr;
  UINT id = 0;
  HMENU popup = nullptr;  // menus: the popup they open
  Shown last;
};

// The first id of the model's controls: control k of the model has command id kFirstCommand + k.
inline constexpr UINT kFirstCommand = 1000;

// A caption as a menu or button shows it: '&' would otherwise be taken as a mnemonic marker.
std::wstring display_text(const std::string& caption);

}  // namespace zetra::ui
