// Placeholder chart surface; mouse tracking is on so moves without a button reach the readout.
#include "recorder/ui/chart_widget.h"

#include <QMouseEvent>
#include <QPainter>

namespace zetra::ui {

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(320, 200);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(255, 255, 192));  // the chart's design back colour, light yellow
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ChartWidget::mousePressEvent(QMouseEvent* event) { emit pressed(event->position()); }

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
  emit moved(event->position(), event->buttons() != Qt::NoButton);
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) { emit released(event->position()); }

}  // namespace zetra::ui
