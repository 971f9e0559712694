// The main window's controls by name, with their handlers, the exclusive menu groups and the three
// timers. The logic reads and writes controls here; the Qt window is a view that mirrors this model
// after every event, and tests drive it exactly as clicks would.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/window/control.h"

namespace zetra {

// A mouse event on the chart in chart units (x in samples from view_start, y in chart_y).
struct ChartMouse {
  int button = 1;  // 1 left, 2 right, 4 middle; 0 on a move without a button
  int shift = 0;   // 1 shift, 2 ctrl, 4 alt
  float x = 0;
  float y = 0;
};

// Navigation on the chart: wheel notches (positive when turned away from the user) with the
// modifiers and the pointer's x in chart units, and the keys that move like the scroll bar.
struct ChartWheel {
  int notches = 0;
  int shift = 0;  // 1 shift, 2 ctrl, 4 alt
  float x = 0;
};
enum class ChartKey { Left, Right, PageUp, PageDown, Home, End };

class WindowModel {
 public:
  using Handler = std::function<void()>;
  using MouseHandler = std::function<void(const ChartMouse&)>;

  // Adds a control; its name must be new. The reference stays valid for the model's lifetime.
  Control& add(Control control);
  bool has(std::string_view name) const;
  // The named control; throws std::out_of_range naming it when there is none.
  Control& operator[](std::string_view name);
  const Control& operator[](std::string_view name) const;
  // All controls in the order they were added (menus before their items).
  const std::vector<Control*>& controls() const { return order_; }

  // Checks the item and unchecks every other member of its group.
  void check(std::string_view name);
  // The checked member of a group, or nullptr.
  const Control* checked_in(std::string_view group) const;
  std::vector<Control*> group(std::string_view group) const;

  void on(std::string_view name, Handler handler);
  bool has_handler(std::string_view name) const;
  // Runs the control's handler as a click would: only when the control, and every menu above it,
  // is enabled and visible. Returns whether a handler ran.
  bool run(std::string_view name);
  // Runs a handler whatever the control's state (used for timers and by the view for scrolls).
  bool invoke(std::string_view name);
  // Sets a scroll bar's value and runs its change handler, as a user move would.
  void scroll(std::string_view name, int value);

  // One tick of a timer's work, whether the timer is enabled or not.
  void tick(std::string_view timer) { invoke(timer); }

  MouseHandler chart_down, chart_move, chart_up;
  void mouse_down(const ChartMouse& m) { if (chart_down) chart_down(m); }
  void mouse_move(const ChartMouse& m) { if (chart_move) chart_move(m); }
  void mouse_up(const ChartMouse& m) { if (chart_up) chart_up(m); }
  // The pointer went off the chart.
  std::function<void()> chart_leave;
  void mouse_leave() { if (chart_leave) chart_leave(); }

  std::function<void(const ChartWheel&)> chart_wheel;
  std::function<void(ChartKey)> chart_key;
  void wheel(const ChartWheel& w) { if (chart_wheel) chart_wheel(w); }
  void key(ChartKey k) { if (chart_key) chart_key(k); }

  Pointer screen_pointer = Pointer::Default;  // busy while a long command runs

 private:
  bool reachable(const Control& control) const;

  std::deque<Control> storage_;
  std::vector<Control*> order_;
  std::map<std::string, Control*, std::less<>> by_name_;
  std::map<std::string, Handler, std::less<>> handlers_;
};

}  // namespace zetra
