// Mirrors the window model onto the child windows that show it: captions, enabled, visible, tool
// tips, text, scroll bar ranges and positions, the status bar and its field. Each change is made
// only when the window shows another value, so a sync after every event costs little and does not
// disturb the caret of a box being typed in. Programmatic changes post no user moves: setting a
// scroll bar's position sends no scroll message, and a box's change notice that merely repeats the
// model is ignored by the main window.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "recorder/ui/win32/view_bindings.h"
#include "recorder/ui/win32/widget_builder.h"

namespace zetra::ui {

class ModelSync {
 public:
  ModelSync(HWND main, CentralWindows& windows);
  ~ModelSync();
  ModelSync(const ModelSync&) = delete;
  ModelSync& operator=(const ModelSync&) = delete;

  // Mirrors every bound control; returns the panels whose labels changed width (to lay out anew).
  std::set<std::string> sync();
  HWND tool_tips() const { return tips_; }

 private:
  void sync_common(WindowBinding& b);
  bool sync_content(WindowBinding& b);
  void sync_tip(WindowBinding& b);

  HWND main_;
  CentralWindows& windows_;
  HWND tips_ = nullptr;
};

// A box's text as the model keeps it (line breaks "\n") and as an edit control shows it ("\r\n").
std::wstring edit_text(const std::string& caption);
std::string model_text(const std::wstring& edit);

// The text of a window, as UTF-8.
std::string window_text(HWND window);

}  // namespace zetra::ui
