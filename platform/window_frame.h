// The main window's frame as the logic sees it: position, size and state in twips, and the
// screen it is on.
#pragma once

namespace zetra::platform {

struct FrameGeometry {
  double top = 0, left = 0, height = 0, width = 0;  // twips
};

class WindowFrame {
 public:
  virtual ~WindowFrame() = default;
  virtual FrameGeometry geometry() = 0;
  virtual bool maximised() = 0;
  virtual FrameGeometry screen() = 0;  // the available area of the screen the window is on
  virtual void place(const FrameGeometry& geometry) = 0;
  virtual void maximise() = 0;
};

}  // namespace zetra::platform
