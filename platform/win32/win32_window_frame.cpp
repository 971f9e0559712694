#include "platform/win32/win32_window_frame.h"

#include <cmath>

namespace zetra::platform {
namespace {

FrameGeometry in_twips(const RECT& r, double twips) {
  return {r.top * twips, r.left * twips, (r.bottom - r.top) * twips, (r.right - r.left) * twips};
}

int to_pixels(double twips, double twips_per_pixel) {
  return static_cast<int>(std::lround(twips / twips_per_pixel));
}

}  // namespace

double Win32WindowFrame::twips_per_pixel() const {
  const UINT dpi = window_ ? ::GetDpiForWindow(window_) : 0;
  return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void Win32WindowFrame::attach(HWND window) {
  window_ = window;
  if (pending_place_) place(*pending_place_);
  if (pending_maximise_) ::ShowWindow(window_, SW_MAXIMIZE);
  pending_place_.reset();
  pending_maximise_ = false;
}

// The restored frame also while maximised: the settings keep where the window goes back to.
FrameGeometry Win32WindowFrame::geometry() {
  if (!window_) return pending_place_.value_or(FrameGeometry{});
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  RECT r{};
  if (::IsZoomed(window_) && ::GetWindowPlacement(window_, &placement)) {
    r = placement.rcNormalPosition;
  } else {
    ::GetWindowRect(window_, &r);
  }
  return in_twips(r, twips_per_pixel());
}

bool Win32WindowFrame::maximised() {
  return window_ ? ::IsZoomed(window_) != FALSE : pending_maximise_;
}

FrameGeometry Win32WindowFrame::screen() {
  HMONITOR monitor = window_ ? ::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST)
                             : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(monitor, &info)) return {0, 0, 1e9, 1e9};
  return in_twips(info.rcWork, twips_per_pixel());
}

void Win32WindowFrame::place(const FrameGeometry& g) {
  if (!window_) {
    pending_place_ = g;
    return;
  }
  const double t = twips_per_pixel();
  ::SetWindowPos(window_, nullptr, to_pixels(g.left, t), to_pixels(g.top, t),
                 to_pixels(g.width, t), to_pixels(g.height, t),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32WindowFrame::maximise() {
  if (!window_) {
    pending_maximise_ = true;
    return;
  }
  ::ShowWindow(window_, SW_MAXIMIZE);
}

}  // namespace zetra::platform
