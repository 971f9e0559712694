// The child windows below the menu bar, one per control of the model, each with the control's
// command id: the button row, the two channel panels with their labels, buttons and calibration
// boxes, the scroll bars, the notes and the hidden scratch box, the status bar. The chart is made
// by the main window. Windows are placed by the window layout in twips, not here.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "recorder/ui/win32/ui_fonts.h"
#include "recorder/ui/win32/view_bindings.h"
#include "recorder/window/window_model.h"

namespace zetra::ui {

struct CentralWindows {
  std::vector<WindowBinding> bindings;  // every child window with its control
  // The file, edit, link and recording buttons in order, with their controls' names.
  std::vector<std::pair<HWND, std::string>> button_row;
  std::map<std::string, HWND> placed;   // panels, scroll bars and notes by control name
  HWND status_bar = nullptr;    // the status line, at the window's foot
  HWND status_field = nullptr;  // the status field, a row of its own just above the status bar
};

CentralWindows build_central(HWND parent, WindowModel& window);

// The children of a panel placed in two rows: readouts and indicators on top, buttons and the
// calibration entry below; label widths follow their present text.
void lay_out_panel(HWND panel, const WindowModel& window, const std::string& panel_name,
                   const UiFonts& fonts);
// The buttons of the row side by side from the row's left edge, as wide as their captions need.
void lay_out_button_row(const std::vector<std::pair<HWND, std::string>>& buttons,
                        const RECT& row, const UiFonts& fonts);
// The height of the status field's row (none without one).
int status_field_height(const CentralWindows& windows, const UiFonts& fonts);
// The status field's row, the window's width, just above the status bar (which has placed itself at
// the foot of `client`); returns the height both take together.
int place_status_rows(const CentralWindows& windows, const RECT& client, const UiFonts& fonts);
// Sets each window's font to the one its control shows text in.
void apply_fonts(const CentralWindows& windows, const UiFonts& fonts);

// The child window of a control inside a panel or the main window, by the control's id.
HWND find_control_window(HWND main, UINT id);

}  // namespace zetra::ui
