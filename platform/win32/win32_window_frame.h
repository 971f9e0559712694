// The main window's frame on an HWND, in twips at the DPI of the monitor the window is on;
// placements asked for before the window exists are kept and applied when it is attached.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/window_frame.h"

namespace zetra::platform {

class Win32WindowFrame final : public WindowFrame {
 public:
  void attach(HWND window);

  FrameGeometry geometry() override;
  bool maximised() override;
  FrameGeometry screen() override;
  void place(const FrameGeometry& geometry) override;
  void maximise() override;

 private:
  double twips_per_pixel() const;

  HWND window_ = nullptr;
  std::optional<FrameGeometry> pending_place_;
  bool pending_maximise_ = false;
};

}  // namespace zetra::platform
