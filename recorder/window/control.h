// One control of the main window as the logic sees it: what the system reads and writes of it.
#pragma once

#include <string>

namespace zetra {

enum class ControlKind {
  Menu,       // a menu title or submenu; holds items
  MenuItem,   // a command, checkable when it belongs to a group
  Separator,  // a line between menu items
  Button,
  Label,
  TextBox,
  Panel,      // a frame that holds labels
  ScrollBar,
  Chart,
  StatusBar,
  Timer,
};

enum class Pointer { Default, Cross, Busy };

struct Control {
  std::string name;
  ControlKind kind = ControlKind::Button;
  std::string parent;    // enclosing menu or panel; empty at top level
  std::string caption;   // caption, label text or text-box contents
  std::string tool_tip;  // also the status tip of a menu item
  bool enabled = true;
  bool visible = true;
  bool checked = false;
  std::string group;     // exclusive menu group: exactly one member is checked
  std::string shortcut;  // key sequence text such as "F1" or "Ctrl+C", alternatives after "; "
  // What assistive tools announce: a name where the caption does not say what the control is
  // (scroll bars, readouts, boxes; empty: the caption), and a longer description.
  std::string access_name;
  std::string description;
  std::string enter_runs;  // text boxes: the command that Enter in the box runs
  // Text boxes: the most characters (UTF-16 code units, a line break counting one) the user may
  // bring the box to by typing or pasting; what would go beyond is not taken. Deleting is always
  // possible, also below a limit the text already exceeds. Negative: no limit.
  int max_length = -1;

  // Scroll bars.
  int minimum = 0, maximum = 0, value = 0, small_change = 1, large_change = 1;
  bool vertical = false;

  // Timers.
  int interval_ms = 0;

  // The chart's pointer shape.
  Pointer pointer = Pointer::Default;
};

}  // namespace zetra
