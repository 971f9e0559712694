#include "platform/qt/qt_window_frame.h"

#include <QGuiApplication>
#include <QScreen>

namespace zetra::platform {

double QtWindowFrame::twips_per_pixel() const {
  const QScreen* s = window_ ? window_->screen() : QGuiApplication::primaryScreen();
  const double dpi = s != nullptr ? s->logicalDotsPerInch() : 96.0;
  return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

void QtWindowFrame::attach(QWidget* window) {
  window_ = window;
  if (pending_place_) place(*pending_place_);
  if (pending_maximise_) window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
  pending_place_.reset();
  pending_maximise_ = false;
}

FrameGeometry QtWindowFrame::geometry() {
  if (!window_) return pending_place_.value_or(FrameGeometry{});
  const QRect r = window_->isMaximized() ? window_->normalGeometry() : window_->geometry();
  const double t = twips_per_pixel();
  return {r.top() * t, r.left() * t, r.height() * t, r.width() * t};
}

bool QtWindowFrame::maximised() { return window_ ? window_->isMaximized() : pending_maximise_; }

FrameGeometry QtWindowFrame::screen() {
  const QScreen* s = window_ ? window_->screen() : QGuiApplication::primaryScreen();
  if (s == nullptr) return {0, 0, 1e9, 1e9};
  const QRect r = s->availableGeometry();
  const double t = twips_per_pixel();
  return {r.top() * t, r.left() * t, r.height() * t, r.width() * t};
}

void QtWindowFrame::place(const FrameGeometry& g) {
  if (!window_) {
    pending_place_ = g;
    return;
  }
  const double t = twips_per_pixel();
  window_->setGeometry(qRound(g.left / t), qRound(g.top / t), qRound(g.width / t),
                       qRound(g.height / t));
}

void QtWindowFrame::maximise() {
  if (!window_) {
    pending_maximise_ = true;
    return;
  }
  window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
}

}  // namespace zetra::platform
