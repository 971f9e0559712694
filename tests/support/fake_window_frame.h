// A main-window frame with a settable geometry and screen.
#pragma once

#include "platform/window_frame.h"

namespace zetra::testing {

class FakeWindowFrame final : public platform::WindowFrame {
 public:
  platform::FrameGeometry current{600, 900, 9000, 14000};
  platform::FrameGeometry screen_area{0, 0, 12000, 19200};  // 800 x 1280 pixels
  bool is_maximised = false;

  platform::FrameGeometry geometry() override { return current; }
  bool maximised() override { return is_maximised; }
  platform::FrameGeometry screen() override { return screen_area; }
  void place(const platform::FrameGeometry& g) override { current = g; }
  void maximise() override { is_maximised = true; }
};

}  // namespace zetra::testing
