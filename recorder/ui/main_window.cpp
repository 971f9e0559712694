// Builds the window from the model and routes every user and timer event through it.
#include "recorder/ui/main_window.h"

#include <QApplication>
#include <algorithm>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "recorder/ui/chart_widget.h"
#include "recorder/ui/live_values_panel.h"
#include "recorder/ui/menu_builder.h"
#include "recorder/ui/model_sync.h"
#include "recorder/ui/widget_builder.h"
#include "recorder/ui/window_timers.h"

namespace zetra::ui {

MainWindow::MainWindow(Recorder& recorder, QWidget* parent)
    : QMainWindow(parent), recorder_(recorder), window_(recorder.window()) {
  setObjectName("zetra");
  // 9000 x 7000 twips at 15 twips per pixel is the smallest useful window.
  setMinimumSize(600, 467);
  resize(1000, 720);
  build();
  timers_ = std::make_unique<WindowTimers>(*this, window_, [this](const std::string& t) { tick(t); });
  sync();
}

MainWindow::~MainWindow() = default;

void MainWindow::build() {
  build_menus(*menuBar(), window_, recorder_.context().platform.serial_port,
              [this](const std::string& name) { run(name); }, bindings_);
  auto* central = new QWidget(this);
  setCentralWidget(central);
  ViewEvents events;
  events.clicked = [this](const std::string& name) { run(name); };
  events.scrolled = [this](const std::string& name, int value) {
    window_.scroll(name, value);
    sync();
  };
  events.text_edited = [this](const std::string& name, const QString& text) {
    window_[name].caption = text.toStdString();
  };
  CentralWidgets widgets = build_central(*central, window_, events, bindings_);
  live_values_ = new LiveValuesPanel(recorder_.state(), central);
  widgets.layout->addWidget(live_values_);
  if (widgets.chart) connect_chart(*widgets.chart);
  chart_ = widgets.chart;

  statusBar()->setObjectName("st1");
  auto* status_text = new QLabel(statusBar());
  status_text->setObjectName("st1_text");
  statusBar()->addWidget(status_text, 1);
  if (window_.has("st1")) bindings_.widgets.emplace_back(&window_["st1"], statusBar());
}

void MainWindow::run(const std::string& name) {
  window_.run(name);
  sync();
}

void MainWindow::tick(const std::string& timer) {
  window_.tick(timer);
  sync();
}

void MainWindow::connect_chart(ChartWidget& chart) {
  connect(&chart, &ChartWidget::pressed, this, [this](QPointF pixel) {
    window_.mouse_down(chart_mouse(pixel, 1));
    sync();
  });
  connect(&chart, &ChartWidget::moved, this, [this](QPointF pixel, bool down) {
    window_.mouse_move(chart_mouse(pixel, down ? 1 : 0));
    sync();
  });
  connect(&chart, &ChartWidget::released, this, [this](QPointF pixel) {
    window_.mouse_up(chart_mouse(pixel, 1));
    sync();
  });
}

// Pixels to chart units: x counts samples from view_start across view_width, y is CH1 units
// with 0 at the bottom edge and span1 at the top.
ChartMouse MainWindow::chart_mouse(QPointF pixel, int buttons) const {
  const RecorderState& state = recorder_.state();
  const double width = chart_ ? std::max(1, chart_->width()) : 1;
  const double height = chart_ ? std::max(1, chart_->height()) : 1;
  ChartMouse mouse;
  mouse.button = buttons;
  const Qt::KeyboardModifiers mods = QApplication::keyboardModifiers();
  mouse.shift = (mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0) |
                (mods & Qt::AltModifier ? 4 : 0);
  mouse.x = static_cast<float>(pixel.x() / width * state.view_width);
  mouse.y = static_cast<float>(state.span1 - pixel.y() / height * state.span1);
  return mouse;
}

void MainWindow::sync() {
  sync_all(bindings_);
  timers_->sync();
  const QString title = QString::fromStdString(recorder_.state().window_caption);
  if (windowTitle() != title) setWindowTitle(title);
  if (window_.screen_pointer == Pointer::Busy) {
    setCursor(Qt::WaitCursor);
  } else if (testAttribute(Qt::WA_SetCursor)) {
    unsetCursor();
  }
  live_values_->refresh();
}

void MainWindow::end_program() {
  closing_ = true;
  close();
}

// The close box asks the exit question when the exit command has a handler; that handler ends
// the program through end_program(), or leaves the window open when the answer is Cancel.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (closing_ || !window_.has_handler("pexit")) {
    event->accept();
    return;
  }
  event->ignore();
  window_.invoke("pexit");  // also while recording, when the menu item itself is disabled
  sync();
}

}  // namespace zetra::ui
