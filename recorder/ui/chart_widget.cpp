// Mouse tracking is on so moves without a button reach the hover readout.
#include "recorder/ui/chart_widget.h"

#include <QMouseEvent>
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

void LayerWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, layer_.image());
}

}  // namespace zetra::ui
