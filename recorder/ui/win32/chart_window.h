// The chart p1 as a child window: shows the chart surface's persistent picture and reports mouse
// presses, moves and releases in pixels, wheel notches with the held modifiers and the navigation
// keys. The window text is the chart's accessible name.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/win32/win32_surface.h"
#include "recorder/window/window_model.h"

namespace zetra::ui {

struct ChartEvents {
  std::function<void(int x, int y)> pressed, released;
  std::function<void(int x, int y, bool button_down)> moved;
  std::function<void()> left;  // the pointer went off the chart
  // Whole notches, positive when turned away from the user; x in chart pixels.
  std::function<void(int x, int notches, int shift)> wheeled;
  std::function<void(ChartKey key)> navigation_key;
};

class ChartWindow {
 public:
  ChartWindow(HWND parent, platform::Win32Surface& surface, ChartEvents events);
  HWND handle() const { return window_; }
  void set_pointer(Pointer pointer) { pointer_ = pointer; }
  // Delivers a wheel turn that reached the main window while the pointer was over the chart.
  void wheel(WPARAM wparam, LPARAM lparam);

  // The held modifiers as the model counts them: 1 shift, 2 ctrl, 4 alt.
  static int modifiers();

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void paint();
  bool key(WPARAM key);

  HWND window_ = nullptr;
  platform::Win32Surface& surface_;
  ChartEvents events_;
  Pointer pointer_ = Pointer::Cross;
  int wheel_rest_ = 0;  // wheel units not yet a whole notch (fine-grained wheels)
};

}  // namespace zetra::ui
