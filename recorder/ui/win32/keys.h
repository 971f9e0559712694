// The model's key texts ("Ctrl+S", "Ctrl+Shift+S", "F1", "Del", alternatives after "; ") as
// accelerator entries of the Win32 window, and as the text a menu shows beside an item.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zetra::ui {

// One key text as an accelerator for `command`; none when the text names no key.
std::optional<ACCEL> accelerator(const std::string& text, WORD command);
// Every alternative of a shortcut text.
std::vector<ACCEL> accelerators(const std::string& shortcut, WORD command);
// What a menu shows after the tab: the first alternative, as written.
std::string menu_key_text(const std::string& shortcut);
// Keys that a text box with the focus keeps for itself (Del, Ctrl+C, Ctrl+V, ...): the
// window's accelerators leave them to the box, as the other window does.
bool text_box_key(const ACCEL& key);

}  // namespace zetra::ui
