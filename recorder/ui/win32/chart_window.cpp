// Mouse moves without a button reach the hover readout too; a press captures the mouse so that a
// selection dragged beyond the chart still ends with its release.
#include "recorder/ui/win32/chart_window.h"

#include <windowsx.h>

namespace zetra::ui {
namespace {

constexpr const wchar_t* kClassName = L"ZetraChart";

void register_class() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window once the object is known
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
  wc.lpszClassName = kClassName;
  ::RegisterClassExW(&wc);
  registered = true;
}

}  // namespace

ChartWindow::ChartWindow(HWND parent, platform::Win32Surface& surface, ChartEvents events)
    : surface_(surface), events_(std::move(events)) {
  register_class();
  window_ = ::CreateWindowExW(0, kClassName, L"Chart", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                              10, 10, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure));
}

int ChartWindow::modifiers() {
  return (::GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (::GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
         (::GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

LRESULT CALLBACK ChartWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<ChartWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wparam, lparam);
  return self->handle(message, wparam, lparam);
}

void ChartWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window_, &ps);
  const RECT& r = ps.rcPaint;
  ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, surface_.dc(), r.left, r.top,
           SRCCOPY);
  ::EndPaint(window_, &ps);
}

bool ChartWindow::key(WPARAM key) {
  switch (key) {
    case VK_LEFT: events_.navigation_key(ChartKey::Left); return true;
    case VK_RIGHT: events_.navigation_key(ChartKey::Right); return true;
    case VK_PRIOR: events_.navigation_key(ChartKey::PageUp); return true;
    case VK_NEXT: events_.navigation_key(ChartKey::PageDown); return true;
    case VK_HOME: events_.navigation_key(ChartKey::Home); return true;
    case VK_END: events_.navigation_key(ChartKey::End); return true;
    default: return false;
  }
}

void ChartWindow::wheel(WPARAM wparam, LPARAM lparam) {
  POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};  // screen coordinates
  ::ScreenToClient(window_, &at);
  wheel_rest_ += GET_WHEEL_DELTA_WPARAM(wparam);
  const int notches = wheel_rest_ / WHEEL_DELTA;
  wheel_rest_ -= notches * WHEEL_DELTA;
  if (notches != 0) events_.wheeled(at.x, notches, modifiers());
}

LRESULT ChartWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  const int x = GET_X_LPARAM(lparam), y = GET_Y_LPARAM(lparam);
  switch (message) {
    case WM_PAINT: paint(); return 0;
    case WM_ERASEBKGND: return 1;  // the picture covers every pixel
    case WM_LBUTTONDOWN:
      ::SetFocus(window_);  // the navigation keys reach it
      ::SetCapture(window_);
      events_.pressed(x, y);
      return 0;
    case WM_MOUSEMOVE: {
      // Asks for WM_MOUSELEAVE once the pointer goes off the chart.
      TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window_, 0};
      ::TrackMouseEvent(&track);
      events_.moved(x, y, (wparam & MK_LBUTTON) != 0);
      return 0;
    }
    case WM_MOUSELEAVE:
      if (events_.left) events_.left();
      return 0;
    case WM_LBUTTONUP:
      if (::GetCapture() == window_) ::ReleaseCapture();
      events_.released(x, y);
      return 0;
    case WM_MOUSEWHEEL: wheel(wparam, lparam); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      if (key(wparam)) return 0;
      break;
    case WM_SETCURSOR:
      // The main window first: the busy pointer of a long command covers the chart too.
      if (::SendMessageW(::GetParent(window_), WM_SETCURSOR, wparam, lparam)) return TRUE;
      if (LOWORD(lparam) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, pointer_ == Pointer::Busy      ? IDC_WAIT
                                           : pointer_ == Pointer::Default ? IDC_ARROW
                                                                          : IDC_CROSS));
        return TRUE;
      }
      break;
    default: break;
  }
  return ::DefWindowProcW(window_, message, wparam, lparam);
}

}  // namespace zetra::ui
