// Builds the window from the model and routes every user, system and timer event through it.
#include "recorder/ui/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include "platform/win32/utf16.h"
#include "recorder/app/about.h"
#include "recorder/chart/chart.h"
#include "recorder/chart/chart_view_rules.h"
#include "recorder/numbers/number_format.h"
#include "recorder/ui/win32/keys.h"

namespace zetra::ui {
namespace {

constexpr const wchar_t* kClassName = L"ZetraMainWindow";
// The client size of a new window and the smallest one, in pixels at 96 DPI: 9000 x 7000 twips
// at 15 twips per pixel is the smallest useful window.
constexpr int kStartWidth = 1000, kStartHeight = 720, kMinimumWidth = 600, kMinimumHeight = 467;

void register_class() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  ::RegisterClassExW(&wc);
  registered = true;
}

// The outer size of a window whose client area, menu bar included, is width x height.
SIZE outer_size(int width, int height, int dpi) {
  RECT r{0, 0, width, height};
  ::AdjustWindowRectExForDpi(&r, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_CONTROLPARENT,
                             static_cast<UINT>(dpi));
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

MainWindow::MainWindow(Recorder& recorder, platform::Win32Surface& chart,
                       platform::Win32Surface& layer)
    : recorder_(recorder),
      model_(recorder.window()),
      chart_surface_(chart),
      layer_surface_(layer),
      menus_(recorder.window(), recorder.context().platform.serial_port) {
  register_class();
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"zetra",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                              kStartWidth, kStartHeight, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure));
  build();
  const int dpi = fonts_.dpi();
  const SIZE start = outer_size(fonts_.scaled(kStartWidth), fonts_.scaled(kStartHeight), dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, start.cx, start.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  lay_out();
}

MainWindow::~MainWindow() {
  recorder_.chart().apply_layout = nullptr;
  timers_.reset();
  if (accelerators_) ::DestroyAcceleratorTable(accelerators_);
  if (::IsWindow(window_)) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

void MainWindow::build() {
  fonts_.make(static_cast<int>(::GetDpiForWindow(window_)));
  menus_.attach(window_);
  widgets_ = build_central(window_, model_);
  chart_ = std::make_unique<ChartWindow>(window_, chart_surface_, chart_events());
  if (model_.has("p1")) {
    ::SetWindowLongPtrW(chart_->handle(), GWLP_ID, static_cast<LONG_PTR>(command_of("p1")));
    widgets_.bindings.push_back({&model_["p1"], chart_->handle(), {}});
  }
  apply_fonts(widgets_, fonts_);
  chart_surface_.set_font(fonts_.normal());
  layer_surface_.set_font(fonts_.normal());
  layer_surface_.set_background(::GetSysColor(COLOR_BTNFACE));
  sync_ = std::make_unique<ModelSync>(window_, widgets_);
  timers_ = std::make_unique<WindowTimers>(window_, model_);
  make_accelerators();
  recorder_.chart().apply_layout = [this](const chart::WindowLayout& l) { apply_layout(l); };
  model_.on("pcont", [this] { show_help(); });
  model_.on("pabout", [this] { show_about(); });
  sync();
}

// Every key text of a menu item or button: the menu's items and the marker's key alike.
void MainWindow::make_accelerators() {
  std::vector<ACCEL> keys;
  for (const Control* c : model_.controls()) {
    if (c->shortcut.empty()) continue;
    for (const ACCEL& key : accelerators(c->shortcut, static_cast<WORD>(command_of(c->name)))) {
      keys.push_back(key);
    }
  }
  if (!keys.empty()) {
    accelerators_ = ::CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
  }
}

HWND MainWindow::window_of(const std::string& name) const {
  for (const WindowBinding& b : widgets_.bindings) {
    if (b.control->name == name) return b.window;
  }
  return nullptr;
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wparam, lparam);
  return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lparam) scroll(reinterpret_cast<HWND>(lparam), LOWORD(wparam));
      return 0;
    case WM_TIMER:
      if (!WindowTimers::name_of(wparam).empty()) tick(WindowTimers::name_of(wparam));
      return 0;
    case WM_SIZE:
      if (widgets_.status_bar) ::SendMessageW(widgets_.status_bar, WM_SIZE, 0, 0);
      if (!laying_out_) lay_out();
      return 0;
    case WM_DPICHANGED:
      dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_GETMINMAXINFO: {
      const int dpi = fonts_.dpi();
      const SIZE least = outer_size(MulDiv(kMinimumWidth, dpi, 96), MulDiv(kMinimumHeight, dpi, 96), dpi);
      reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {least.cx, least.cy};
      return 0;
    }
    case WM_PAINT: paint(); return 0;
    case WM_ERASEBKGND: return 1;  // the drawing layer covers the whole area
    case WM_CTLCOLORSTATIC:
      return colour_static(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (chart_ && ::WindowFromPoint(at) == chart_->handle()) chart_->wheel(wparam, lparam);
      return 0;
    }
    case WM_SETCURSOR:
      if (model_.screen_pointer == Pointer::Busy) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_MENUSELECT:
      // A menu item's tip shows in the status bar while the item is highlighted.
      if (widgets_.status_bar && !(HIWORD(wparam) & MF_POPUP)) {
        const std::wstring tip = platform::to_utf16(menus_.status_tip(LOWORD(wparam)));
        ::SendMessageW(widgets_.status_bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(tip.c_str()));
      }
      return 0;
    case WM_EXITMENULOOP:
      if (widgets_.status_bar && model_.has("st1")) {
        ::SendMessageW(widgets_.status_bar, SB_SETTEXTW, 0,
                       reinterpret_cast<LPARAM>(platform::to_utf16(model_["st1"].caption).c_str()));
      }
      return 0;
    case WM_CLOSE: close(); return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wparam && on_end_session) on_end_session();
      return 0;
    case WM_DESTROY:
      if (quit_on_destroy_) ::PostQuitMessage(0);
      return 0;
    default: break;
  }
  return ::DefWindowProcW(window_, message, wparam, lparam);
}

void MainWindow::command(UINT id, UINT code, HWND from) {
  if (id == IDOK) return enter_in_box();  // Enter, passed on by the keyboard navigation
  if (id < kFirstCommand || id - kFirstCommand >= model_.controls().size()) return;
  const Control& control = *model_.controls()[id - kFirstCommand];
  if (control.kind == ControlKind::TextBox) {
    if (code == EN_CHANGE && from) text_edited(control, from);
    return;
  }
  // Menus and accelerators (codes 0 and 1) and button clicks (BN_CLICKED is 0).
  if (code == 0 || code == 1) run(control.name);
}

void MainWindow::run(const std::string& name) {
  model_.run(name);
  sync();
}

void MainWindow::tick(const std::string& timer) {
  model_.tick(timer);
  sync();
}

void MainWindow::text_edited(const Control& control, HWND box) {
  if (keep_within_limit(control, box)) return;  // the cut reports the text once more
  std::string typed = model_text(platform::to_utf16(window_text(box)));
  if (control.caption == typed) return;  // the view mirroring the model, not the user
  model_[control.name].caption = std::move(typed);
  if (model_.invoke(control.name)) sync();
}

// What typing or pasting brought beyond the box's limit (in UTF-16 units, a line break as one, as
// the model counts) is taken out again just before the caret where it went in; a box already
// beyond its limit may still shrink. True when text was taken out.
bool MainWindow::keep_within_limit(const Control& control, HWND box) {
  if (control.max_length < 0) return false;
  const std::wstring shown = platform::to_utf16(window_text(box));
  const auto length = static_cast<long>(platform::to_utf16(model_text(shown)).size());
  const auto before = static_cast<long>(platform::to_utf16(control.caption).size());
  long excess = length - std::max<long>(before, control.max_length);
  if (excess <= 0) return false;
  DWORD start = 0, caret = 0;
  ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&caret));
  DWORD from = std::min<DWORD>(caret, static_cast<DWORD>(shown.size()));
  for (; excess > 0 && from > 0; --excess) {
    --from;
    if (from > 0 && shown[from] == L'\n' && shown[from - 1] == L'\r') --from;
  }
  ::SendMessageW(box, EM_SETSEL, from, caret);
  ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
  return true;
}

// Enter in a box does what its panel's button does (Conv for the calibration boxes). The focus
// then rests on that button: Conv hides the boxes, and the focus must not fall through to a
// button that a following Space would press (the other channel's Zero).
void MainWindow::enter_in_box() {
  const HWND focus = ::GetFocus();
  for (const WindowBinding& b : widgets_.bindings) {
    if (b.window != focus || b.control->enter_runs.empty()) continue;
    const std::string button = b.control->enter_runs;
    run(button);
    const HWND target = model_.has(button) ? window_of(button.c_str()) : nullptr;
    if (target && ::IsWindowVisible(target) && ::IsWindowEnabled(target)) ::SetFocus(target);
    return;
  }
}

void MainWindow::scroll(HWND bar, UINT code) {
  const Control* control = nullptr;
  for (const WindowBinding& b : widgets_.bindings) {
    if (b.window == bar && b.control->kind == ControlKind::ScrollBar) control = b.control;
  }
  if (!control) return;
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  ::GetScrollInfo(bar, SB_CTL, &info);
  int value = control->value;
  switch (code) {
    case SB_LINEUP: value -= control->small_change; break;
    case SB_LINEDOWN: value += control->small_change; break;
    case SB_PAGEUP: value -= control->large_change; break;
    case SB_PAGEDOWN: value += control->large_change; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: value = info.nTrackPos; break;
    case SB_TOP: value = control->minimum; break;
    case SB_BOTTOM: value = control->maximum; break;
    default: return;
  }
  value = std::clamp(value, control->minimum, control->maximum);
  if (value == control->value) return;
  model_.scroll(control->name, value);
  sync();
}

ChartEvents MainWindow::chart_events() {
  ChartEvents e;
  e.pressed = [this](int x, int y) {
    model_.mouse_down(chart_mouse(x, y, 1));
    sync();
  };
  e.moved = [this](int x, int y, bool down) {
    model_.mouse_move(chart_mouse(x, y, down ? 1 : 0));
    sync();
  };
  e.released = [this](int x, int y) {
    model_.mouse_up(chart_mouse(x, y, 1));
    sync();
  };
  e.left = [this] { model_.mouse_leave(); };
  e.wheeled = [this](int x, int notches, int shift) {
    model_.wheel({notches, shift, chart_mouse(x, 0, 0).x});
    sync();
  };
  e.navigation_key = [this](ChartKey key) {
    model_.key(key);
    sync();
  };
  return e;
}

// Pixels to chart units: x counts samples from view_start across view_width, y is CH1 units
// with 0 at the bottom edge and span1 at the top.
ChartMouse MainWindow::chart_mouse(int x, int y, int buttons) const {
  const RecorderState& state = recorder_.state();
  RECT r{0, 0, 1, 1};
  if (chart_) ::GetClientRect(chart_->handle(), &r);
  const double width = std::max<LONG>(1, r.right), height = std::max<LONG>(1, r.bottom);
  ChartMouse mouse;
  mouse.button = buttons;
  mouse.shift = ChartWindow::modifiers();
  mouse.x = static_cast<float>(x / width * state.view_width);
  mouse.y = static_cast<float>(state.span1 - y / height * state.span1);
  return mouse;
}

void MainWindow::sync() {
  if (!::IsWindow(window_)) return;  // the exit command ended the program
  menus_.sync();
  for (const std::string& panel : sync_->sync()) {
    auto it = widgets_.placed.find(panel);
    if (it != widgets_.placed.end()) lay_out_panel(it->second, model_, panel, fonts_);
  }
  access_.sync(widgets_.bindings);
  timers_->sync();
  if (chart_ && model_.has("p1")) chart_->set_pointer(model_["p1"].pointer);
  if (title_ != recorder_.state().window_caption) {
    title_ = recorder_.state().window_caption;
    ::SetWindowTextW(window_, platform::to_utf16(title_).c_str());
  }
  if (model_.screen_pointer == Pointer::Busy) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  repaint_changes();
}

// Only what the recorder drew since the last sync is repainted.
void MainWindow::repaint_changes() {
  const RECT chart_changed = chart_surface_.take_changed();
  if (chart_ && chart_changed.right > chart_changed.left) {
    ::InvalidateRect(chart_->handle(), &chart_changed, FALSE);
  }
  const RECT layer_changed = layer_surface_.take_changed();
  if (layer_changed.right > layer_changed.left) ::InvalidateRect(window_, &layer_changed, FALSE);
}

void MainWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window_, &ps);
  const RECT& r = ps.rcPaint;
  ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, layer_surface_.dc(), r.left,
           r.top, SRCCOPY);
  ::EndPaint(window_, &ps);
}

// The channel titles of the readout panels take the colours of their value traces, the captions
// of the vertical bars those of the traces the bars move.
LRESULT MainWindow::colour_static(HDC dc, HWND label) {
  ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
  for (const char* title : {"tch", "tch2", "lnvs1", "lnvs2", "lnvs12", "lnvs22"}) {
    const float* packed = chart::trace_colour(title, recorder_.state());
    if (packed != nullptr && model_.has(title) && window_of(title) == label) {
      ::SetTextColor(dc, chart::colour_of(*packed));
    }
  }
  return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

int MainWindow::to_pixels(float twips) const {
  return static_cast<int>(numbers::round_half_even(twips * fonts_.dpi() / 1440.0));
}

// Outer size and position in twips, as the layout rules count them.
void MainWindow::lay_out() {
  RECT frame, client;
  ::GetWindowRect(window_, &frame);
  ::GetClientRect(window_, &client);
  const double twips = 1440.0 / fonts_.dpi();
  chart::WindowGeometry g;
  g.left = static_cast<float>(frame.left * twips);
  g.top = static_cast<float>(frame.top * twips);
  g.width = static_cast<float>((frame.right - frame.left) * twips);
  g.height = static_cast<float>((frame.bottom - frame.top) * twips);
  const LONG borders = (frame.right - frame.left) - (client.right - client.left);
  g.border_width = static_cast<float>(std::max<LONG>(0, borders) * twips);
  g.extra_height = static_cast<float>(status_field_height(widgets_, fonts_) * twips);
  g.minimized = ::IsIconic(window_) != FALSE;
  g.maximized = ::IsZoomed(window_) != FALSE;
  laying_out_ = true;
  recorder_.chart().resize(g);
  laying_out_ = false;
  sync();
}

void MainWindow::apply_layout(const chart::WindowLayout& l) {
  auto place = [this](HWND w, const platform::TwipsRect& r) {
    if (w) {
      ::SetWindowPos(w, nullptr, to_pixels(r.left), to_pixels(r.top), to_pixels(r.width),
                     to_pixels(r.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
  };
  const RECT row{to_pixels(l.buttons.left), to_pixels(l.buttons.top),
                 to_pixels(l.buttons.left + l.buttons.width),
                 to_pixels(l.buttons.top + l.buttons.height)};
  lay_out_button_row(widgets_.button_row, row, fonts_);
  for (const auto& [name, rect] : {std::pair{"sp1", l.sp1}, {"sp2", l.sp2}, {"nhs1", l.nhs1},
                                   {"nvs1", l.nvs1}, {"nvs2", l.nvs2}, {"nvs12", l.nvs12},
                                   {"nvs22", l.nvs22}, {"nt1", l.nt1}, {"lnvs1", l.lnvs1},
                                   {"lnvs2", l.lnvs2}, {"lnvs12", l.lnvs12},
                                   {"lnvs22", l.lnvs22}}) {
    auto it = widgets_.placed.find(name);
    if (it == widgets_.placed.end()) continue;
    place(it->second, rect);
    if (name[0] == 's') lay_out_panel(it->second, model_, name, fonts_);
  }
  if (chart_) {
    place(chart_->handle(), l.chart);
    RECT r;
    ::GetClientRect(chart_->handle(), &r);
    chart_surface_.resize(r.right, r.bottom, fonts_.dpi());
    chart_surface_.set_placement(l.chart);
  }
  // The status field's row goes just above the status bar; the drawing layer covers the client
  // area above both, which is what the layout's twips count from.
  RECT area{0, 0, 1, 1};
  ::GetClientRect(window_, &area);
  area.bottom = std::max(area.top + 1, area.bottom - place_status_rows(widgets_, area, fonts_));
  const double twips = 1440.0 / fonts_.dpi();
  layer_surface_.resize(area.right - area.left, area.bottom - area.top, fonts_.dpi());
  const platform::TwipsRect whole{0, 0, static_cast<float>((area.right - area.left) * twips),
                                  static_cast<float>((area.bottom - area.top) * twips)};
  layer_surface_.set_scale(0, whole.height, whole.width);
  layer_surface_.set_placement(whole);
  ::InvalidateRect(window_, nullptr, FALSE);
}

// Another monitor's DPI: fonts and every length are made anew for it, the frame takes the size
// the system suggests, and the layout follows in twips.
void MainWindow::dpi_changed(int dpi, const RECT& suggested) {
  fonts_.make(dpi);
  apply_fonts(widgets_, fonts_);
  chart_surface_.set_font(fonts_.normal());
  layer_surface_.set_font(fonts_.normal());
  laying_out_ = true;
  ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  laying_out_ = false;
  if (widgets_.status_bar) ::SendMessageW(widgets_.status_bar, WM_SIZE, 0, 0);
  lay_out();
}

bool MainWindow::pre_translate(MSG& message) {
  if (message.hwnd != window_ && !::IsChild(window_, message.hwnd)) return false;
  if (accelerators_ && (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN)) {
    wchar_t focus_class[16] = L"";
    ::GetClassNameW(::GetFocus(), focus_class, 16);
    const BYTE held = static_cast<BYTE>((::GetKeyState(VK_CONTROL) < 0 ? FCONTROL : 0) |
                                        (::GetKeyState(VK_SHIFT) < 0 ? FSHIFT : 0) |
                                        (::GetKeyState(VK_MENU) < 0 ? FALT : 0));
    const ACCEL key{static_cast<BYTE>(FVIRTKEY | held), static_cast<WORD>(message.wParam), 0};
    const bool box_keeps = ::lstrcmpiW(focus_class, L"Edit") == 0 && text_box_key(key);
    if (!box_keeps && ::TranslateAcceleratorW(window_, accelerators_, &message)) return true;
  }
  return ::IsDialogMessageW(window_, &message) != FALSE;
}

void MainWindow::end_program() {
  closing_ = true;
  ::DestroyWindow(window_);
}

// The close box asks the exit question when the exit command has a handler; that handler ends
// the program through end_program(), or leaves the window open when the answer is Cancel.
void MainWindow::close() {
  if (closing_ || !model_.has_handler("pexit")) {
    ::DestroyWindow(window_);
    return;
  }
  model_.invoke("pexit");  // also while recording, when the menu item itself is disabled
  if (::IsWindow(window_)) sync();
}

// Help > Contents and F1: the help document from the program's folder, in the user's browser.
void MainWindow::show_help() {
  const std::wstring file = platform::to_utf16(recorder_.state().help_file);
  ::ShellExecuteW(window_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Help > About: name, version and build date, through the Dialogs interface like every message.
void MainWindow::show_about() {
  recorder_.context().platform.dialogs.message_box(about_text(), about_title(),
                                                   platform::MessageIcon::Information,
                                                   platform::MessageButtons::Ok);
}

}  // namespace zetra::ui
