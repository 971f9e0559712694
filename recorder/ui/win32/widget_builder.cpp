// Which window shows a control follows from its kind: push buttons, static labels, single-line
// boxes in the panels, multi-line boxes at the top level, scroll bar controls, a status bar.
#include "recorder/ui/win32/widget_builder.h"

#include <commctrl.h>

#include "platform/win32/utf16.h"
#include "recorder/ui/win32/menu_builder.h"

namespace zetra::ui {
namespace {

constexpr const wchar_t* kPanelClass = L"ZetraPanel";

// A panel draws its etched frame and hands its children's notifications to the main window.
LRESULT CALLBACK panel_procedure(HWND panel, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return ::SendMessageW(::GetParent(panel), message, wparam, lparam);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(panel, &ps);
      RECT r;
      ::GetClientRect(panel, &r);
      ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
      ::EndPaint(panel, &ps);
      return 0;
    }
    default: return ::DefWindowProcW(panel, message, wparam, lparam);
  }
}

void register_panel_class() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = panel_procedure;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPanelClass;
  ::RegisterClassExW(&wc);
  registered = true;
}

class Builder {
 public:
  Builder(HWND main, WindowModel& window) : main_(main), window_(window) {}

  HWND make(const Control& c, const wchar_t* window_class, const std::wstring& text, DWORD style,
            DWORD extended = 0, HWND parent = nullptr) {
    const DWORD visible = c.visible ? WS_VISIBLE : 0;
    HWND w = ::CreateWindowExW(extended, window_class, text.c_str(), style | WS_CHILD | visible,
                               0, 0, 10, 10, parent ? parent : main_,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id(c))),
                               ::GetModuleHandleW(nullptr), nullptr);
    ::EnableWindow(w, c.enabled);
    result.bindings.push_back({const_cast<Control*>(&c), w, {}});
    return w;
  }

  UINT id(const Control& c) const { return command_id(window_, c.name); }

  HWND button(const Control& c, HWND parent = nullptr) {
    return make(c, L"BUTTON", display_text(c.caption), BS_PUSHBUTTON | WS_TABSTOP, 0, parent);
  }

  HWND label(const Control& c, HWND parent) {
    return make(c, L"STATIC", platform::to_utf16(c.caption), SS_LEFT | SS_NOPREFIX, 0, parent);
  }

  // The caption over a vertical scroll bar: centred, and taking the mouse so its tip shows.
  HWND bar_caption(const Control& c) {
    return make(c, L"STATIC", platform::to_utf16(c.caption),
                SS_CENTER | SS_NOPREFIX | SS_NOTIFY | SS_CENTERIMAGE);
  }

  HWND line_edit(const Control& c, HWND parent) {
    return make(c, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, parent);
  }

  HWND text_area(const Control& c) {
    return make(c, L"EDIT", L"",
                ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE);
  }

  HWND scroll_bar(const Control& c) {
    // The window text is the bar's accessible name; a scroll bar does not show it.
    return make(c, L"SCROLLBAR", platform::to_utf16(c.access_name),
                (c.vertical ? SBS_VERT : SBS_HORZ) | WS_TABSTOP);
  }

  HWND panel(const Control& c) {
    register_panel_class();
    HWND frame = make(c, kPanelClass, platform::to_utf16(c.access_name),
                      WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
    for (Control* child : window_.controls()) {
      if (child->parent != c.name) continue;
      if (child->kind == ControlKind::Button) button(*child, frame);
      if (child->kind == ControlKind::TextBox) line_edit(*child, frame);
      if (child->kind == ControlKind::Label) label(*child, frame);
    }
    return frame;
  }

  HWND status_bar(const Control& c) {
    return make(c, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP);
  }

  // A text too long for the window ends in an ellipsis; its tip holds the whole text.
  HWND status_field(const Control& c) {
    return make(c, L"STATIC", platform::to_utf16(c.caption),
                SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS | SS_NOTIFY);
  }

  HWND main_;
  WindowModel& window_;
  CentralWindows result;
};

struct RowItem {
  HWND window;
  const Control* control;
};

SIZE text_size(HWND w, HFONT font) {
  const int length = ::GetWindowTextLengthW(w);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(w, text.data(), length + 1);
  HDC dc = ::GetDC(w);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{0, 0};
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::GetTextExtentPoint32W(dc, text.c_str(), length, &size);
  size.cy = metrics.tmHeight;  // the whole line height, descenders included
  ::SelectObject(dc, old);
  ::ReleaseDC(w, dc);
  return size;
}

// A push button as wide as its caption needs, and never narrower than the usual button.
int button_width(HWND button, const UiFonts& fonts) {
  return std::max(static_cast<int>(text_size(button, fonts.normal()).cx) + fonts.scaled(16),
                  fonts.scaled(60));
}

bool is_entry_control(const Control& c) {
  return c.kind == ControlKind::Button || c.kind == ControlKind::TextBox ||
         c.name.compare(0, 2, "cl") == 0;
}

// Places one row's windows from `x`, each centred on the row's middle line.
void place_row(const std::vector<RowItem>& row, int x, int middle, int spacing,
               const UiFonts& fonts) {
  const int box_height = fonts.scaled(6);
  for (const RowItem& item : row) {
    const Control& c = *item.control;
    HFONT font = fonts.for_control(c.name);
    const SIZE text = text_size(item.window, font);
    int width = text.cx, height = text.cy;
    if (c.kind == ControlKind::Button) {
      width = button_width(item.window, fonts);
      height = text.cy + box_height;
    } else if (c.kind == ControlKind::TextBox) {
      width = fonts.scaled(90);
      height = text_size(item.window, fonts.normal()).cy + box_height;
    }
    ::SetWindowPos(item.window, nullptr, x, middle - height / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.visible) x += width + spacing;
  }
}

}  // namespace

CentralWindows build_central(HWND parent, WindowModel& window) {
  Builder b(parent, window);
  for (Control* c : window.controls()) {
    if (c->kind == ControlKind::Button && c->parent.empty()) {
      b.result.button_row.emplace_back(b.button(*c), c->name);
    }
  }
  for (Control* c : window.controls()) {
    switch (c->kind) {
      case ControlKind::Panel: b.result.placed[c->name] = b.panel(*c); break;
      case ControlKind::ScrollBar: b.result.placed[c->name] = b.scroll_bar(*c); break;
      case ControlKind::TextBox:
        if (c->parent.empty()) b.result.placed[c->name] = b.text_area(*c);
        break;
      case ControlKind::StatusBar: b.result.status_bar = b.status_bar(*c); break;
      case ControlKind::Label:
        if (c->parent.empty()) b.result.placed[c->name] = b.bar_caption(*c);
        break;
      default: break;
    }
  }
  // The status field: a row of its own, so that neither it nor the status line cuts the other.
  for (Control* c : window.controls()) {
    if (c->kind == ControlKind::Label && c->parent == "st1") b.result.status_field = b.status_field(*c);
  }
  return b.result;
}

void lay_out_panel(HWND panel, const WindowModel& window, const std::string& panel_name,
                   const UiFonts& fonts) {
  std::vector<RowItem> readouts, entry;
  for (const Control* c : window.controls()) {
    if (c->parent != panel_name) continue;
    HWND w = ::GetDlgItem(panel, static_cast<int>(command_id(window, c->name)));
    if (!w) continue;
    (is_entry_control(*c) ? entry : readouts).push_back({w, c});
  }
  RECT r;
  ::GetClientRect(panel, &r);
  const int margin = fonts.scaled(6), top = fonts.scaled(1);
  const int half = (r.bottom - r.top - 2 * top) / 2;
  place_row(readouts, margin, top + half / 2, fonts.scaled(10), fonts);
  place_row(entry, margin, top + half + half / 2, fonts.scaled(4), fonts);
  ::InvalidateRect(panel, nullptr, TRUE);
}

void lay_out_button_row(const std::vector<std::pair<HWND, std::string>>& buttons,
                        const RECT& row, const UiFonts& fonts) {
  int x = row.left;
  const int gap = fonts.scaled(2), height = row.bottom - row.top - 2 * gap;
  for (const auto& [button, name] : buttons) {
    if (name == "conoff") x += fonts.scaled(24);  // link and recording apart from file and edit
    const int width = button_width(button, fonts);
    ::SetWindowPos(button, nullptr, x, row.top + gap, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (::IsWindowVisible(button)) x += width + fonts.scaled(6);
  }
}

int status_field_height(const CentralWindows& windows, const UiFonts& fonts) {
  if (!windows.status_field) return 0;
  return static_cast<int>(text_size(windows.status_field, fonts.normal()).cy) + fonts.scaled(4);
}

int place_status_rows(const CentralWindows& windows, const RECT& client, const UiFonts& fonts) {
  int top = client.bottom;
  if (windows.status_bar && ::IsWindowVisible(windows.status_bar)) {
    RECT bar;
    ::GetWindowRect(windows.status_bar, &bar);
    top -= bar.bottom - bar.top;
  }
  if (!windows.status_field) return client.bottom - top;
  const int height = status_field_height(windows, fonts);
  top -= height;
  ::SetWindowPos(windows.status_field, nullptr, client.left + fonts.scaled(2), top,
                 std::max(1, static_cast<int>(client.right - client.left) - fonts.scaled(4)),
                 height, SWP_NOZORDER | SWP_NOACTIVATE);
  return client.bottom - top;
}

void apply_fonts(const CentralWindows& windows, const UiFonts& fonts) {
  for (const WindowBinding& b : windows.bindings) {
    ::SendMessageW(b.window, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.for_control(b.control->name)),
                   TRUE);
  }
}

HWND find_control_window(HWND main, UINT id) {
  HWND direct = ::GetDlgItem(main, static_cast<int>(id));
  if (direct) return direct;
  for (HWND child = ::GetWindow(main, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (HWND inner = ::GetDlgItem(child, static_cast<int>(id))) return inner;
  }
  return nullptr;
}

}  // namespace zetra::ui
