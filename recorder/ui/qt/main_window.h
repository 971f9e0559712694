// The Qt main window: a view of the recorder's window model. Every click, trigger, edit, scroll,
// chart mouse event and timer tick goes to the model, and the view mirrors the model afterwards.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "platform/qt/qt_surface.h"
#include "recorder/app/recorder.h"
#include "recorder/chart/window_layout.h"
#include "recorder/ui/qt/view_bindings.h"
#include "recorder/ui/qt/widget_builder.h"

class QLabel;
class QTextBrowser;

namespace zetra::ui {

class ChartWidget;
class LayerWidget;
class WindowTimers;

class MainWindow : public QMainWindow {
 public:
  // `chart` and `layer` are the surfaces the recorder draws the chart and its labels on.
  MainWindow(Recorder& recorder, platform::QtSurface& chart, platform::QtSurface& layer,
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // Mirrors the whole model: captions, states, checks, scroll bars, timers and the title.
  void sync();
  // Lets the next close go through; the exit command calls this once it has decided to end.
  void end_program();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void build();
  void run(const std::string& name);
  void tick(const std::string& timer);
  void connect_chart(ChartWidget& chart);
  void build_status_bar();
  ChartMouse chart_mouse(QPointF pixel, int buttons) const;
  void repaint_changes();
  void lay_out();  // the window's size and state to the chart's layout
  void apply_layout(const chart::WindowLayout& layout);
  int to_pixels(float twips) const;
  void show_help();
  void show_about();

  Recorder& recorder_;
  WindowModel& window_;
  ViewBindings bindings_;
  std::unique_ptr<WindowTimers> timers_;
  platform::QtSurface& chart_surface_;
  platform::QtSurface& layer_surface_;
  LayerWidget* central_ = nullptr;
  CentralWidgets widgets_;
  ChartWidget* chart_ = nullptr;
  QTextBrowser* help_ = nullptr;
  bool closing_ = false;  // set by end_program: the close is no longer questioned
};

}  // namespace zetra::ui
