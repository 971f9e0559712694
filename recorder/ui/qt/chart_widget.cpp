// Mouse tracking is on so moves without a button reach the hover readout.
#include "recorder/ui/qt/chart_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>

namespace zetra::ui {

ChartWidget::ChartWidget(platform::QtSurface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, surface_.image());
}

void ChartWidget::mousePressEvent(QMouseEvent* event) { emit pressed(event->position()); }

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
  emit moved(event->position(), event->buttons() != Qt::NoButton);
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) { emit released(event->position()); }

void ChartWidget::leaveEvent(QEvent*) { emit left(); }

void ChartWidget::wheelEvent(QWheelEvent* event) {
  constexpr int kNotch = 120;  // eighths of a degree
  wheel_rest_ += event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
  const int notches = wheel_rest_ / kNotch;
  wheel_rest_ -= notches * kNotch;
  event->accept();
  if (notches != 0) emit wheeled(event->position(), notches, event->modifiers());
}

void ChartWidget::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      event->accept();
      emit navigation_key(event->key());
      return;
    default: QWidget::keyPressEvent(event);
  }
}

void LayerWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, layer_.image());
}

}  // namespace zetra::ui
