// The Qt main window: a view of the recorder's window model. Every click, trigger, edit, scroll,
// chart mouse event and timer tick goes to the model, and the view mirrors the model afterwards.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "recorder/app/recorder.h"
#include "recorder/ui/view_bindings.h"

class QLabel;

namespace zetra::ui {

class ChartWidget;
class LiveValuesPanel;
class WindowTimers;

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(Recorder& recorder, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Mirrors the whole model: captions, states, checks, scroll bars, timers and the title.
  void sync();
  // Lets the next close go through; the exit command calls this once it has decided to end.
  void end_program();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  void run(const std::string& name);
  void tick(const std::string& timer);
  void connect_chart(ChartWidget& chart);
  ChartMouse chart_mouse(QPointF pixel, int buttons) const;

  Recorder& recorder_;
  WindowModel& window_;
  ViewBindings bindings_;
  std::unique_ptr<WindowTimers> timers_;
  LiveValuesPanel* live_values_ = nullptr;  // temporary, until the chart's readouts arrive
  ChartWidget* chart_ = nullptr;
  bool closing_ = false;  // set by end_program: the close is no longer questioned
};

}  // namespace zetra::ui
