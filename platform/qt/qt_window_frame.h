// The main window's frame on a QWidget, in twips; placements asked for before the window exists
// are kept and applied when it is attached.
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>

#include "platform/window_frame.h"

namespace zetra::platform {

class QtWindowFrame final : public WindowFrame {
 public:
  void attach(QWidget* window);

  FrameGeometry geometry() override;
  bool maximised() override;
  FrameGeometry screen() override;
  void place(const FrameGeometry& geometry) override;
  void maximise() override;

 private:
  double twips_per_pixel() const;

  QPointer<QWidget> window_;
  std::optional<FrameGeometry> pending_place_;
  bool pending_maximise_ = false;
};

}  // namespace zetra::platform
