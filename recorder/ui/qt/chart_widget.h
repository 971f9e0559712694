// The chart p1 as a widget: shows the chart surface's persistent picture and reports mouse
// presses, moves and releases in logical pixels. The pictures carry the widget's device pixel
// ratio, so drawImage puts their device pixels one to one on the screen.
#pragma once

#include <QPointF>
#include <QWidget>

#include "platform/qt/qt_surface.h"

namespace zetra::ui {

class ChartWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ChartWidget(platform::QtSurface& surface, QWidget* parent = nullptr);

 signals:
  void pressed(QPointF pixel);
  void moved(QPointF pixel, bool button_down);
  void released(QPointF pixel);
  void left();  // the pointer went off the chart
  // Whole wheel notches, positive when turned away from the user, with the held modifiers.
  void wheeled(QPointF pixel, int notches, Qt::KeyboardModifiers modifiers);
  // Left, Right, Page Up, Page Down, Home or End while the chart has the focus.
  void navigation_key(int key);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  platform::QtSurface& surface_;
  int wheel_rest_ = 0;  // eighths of a degree not yet a whole notch (fine-grained wheels)
};

// The window's own drawing layer (ticks and labels around the chart) under the other widgets.
class LayerWidget : public QWidget {
 public:
  explicit LayerWidget(platform::QtSurface& layer, QWidget* parent = nullptr)
      : QWidget(parent), layer_(layer) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  platform::QtSurface& layer_;
};

}  // namespace zetra::ui
