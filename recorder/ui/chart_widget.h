// The chart p1 as a widget: for now a plain surface in the chart's back colour that reports
// mouse presses, moves and releases in pixels. The chart's drawing comes with the chart itself.
#pragma once

#include <QPointF>
#include <QWidget>

namespace zetra::ui {

class ChartWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ChartWidget(QWidget* parent = nullptr);

 signals:
  void pressed(QPointF pixel);
  void moved(QPointF pixel, bool button_down);
  void released(QPointF pixel);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace zetra::ui
