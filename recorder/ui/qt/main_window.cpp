// Builds the window from the model and routes every user and timer event through it.
#include "recorder/ui/qt/main_window.h"

#include <QApplication>
#include <algorithm>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QTextBrowser>
#include <QUrl>

#include "recorder/app/about.h"
#include "recorder/ui/qt/accessibility.h"
#include "recorder/ui/qt/chart_widget.h"
#include "recorder/chart/chart.h"
#include "recorder/numbers/number_format.h"
#include "recorder/ui/qt/menu_builder.h"
#include "recorder/ui/qt/model_sync.h"
#include "recorder/ui/qt/widget_builder.h"
#include "recorder/ui/qt/window_timers.h"

namespace zetra::ui {

MainWindow::MainWindow(Recorder& recorder, platform::QtSurface& chart, platform::QtSurface& layer,
                       QWidget* parent)
    : QMainWindow(parent),
      recorder_(recorder),
      window_(recorder.window()),
      chart_surface_(chart),
      layer_surface_(layer) {
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
  central_ = new LayerWidget(layer_surface_, this);
  setCentralWidget(central_);
  layer_surface_.set_background(static_cast<platform::Colour>(
      qRed(palette().window().color().rgb()) | qGreen(palette().window().color().rgb()) << 8 |
      qBlue(palette().window().color().rgb()) << 16));
  ViewEvents events;
  events.clicked = [this](const std::string& name) { run(name); };
  events.scrolled = [this](const std::string& name, int value) {
    window_.scroll(name, value);
    sync();
  };
  events.text_edited = [this](const std::string& name, const QString& text) {
    std::string typed = text.toStdString();
    if (window_[name].caption == typed) return;  // the view mirroring the model, not the user
    window_[name].caption = std::move(typed);
    if (window_.invoke(name)) sync();
  };
  widgets_ = build_central(*central_, window_, events, bindings_, chart_surface_);
  if (widgets_.chart) connect_chart(*widgets_.chart);
  chart_ = widgets_.chart;
  recorder_.chart().apply_layout = [this](const chart::WindowLayout& l) { apply_layout(l); };
  window_.on("pcont", [this] { show_help(); });
  window_.on("pabout", [this] { show_about(); });

  build_status_bar();
}

// Two rows, each the window's whole width: the status field (the recording, its notices), then the
// status line (scales, the readout under the pointer or a measurement) at the foot, as in the
// Windows program. Side by side, the one would cut the other's end at the default size.
void MainWindow::build_status_bar() {
  statusBar()->setObjectName("st1");
  auto* rows = new QWidget(statusBar());
  auto* layout = new QVBoxLayout(rows);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* status_text = new QLabel(rows);
  status_text->setObjectName("st1_text");
  auto* field = new QLabel(rows);
  field->setObjectName("stfield");
  for (QLabel* row : {field, status_text}) {
    row->setMinimumWidth(1);  // a long text is cut at the window's edge, not widening the window
    layout->addWidget(row);
  }
  statusBar()->addWidget(rows, 1);
  if (window_.has("st1")) bindings_.widgets.emplace_back(&window_["st1"], statusBar());
  if (window_.has("stfield")) bindings_.widgets.emplace_back(&window_["stfield"], field);
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
  connect(&chart, &ChartWidget::left, this, [this] { window_.mouse_leave(); });
  connect(&chart, &ChartWidget::wheeled, this,
          [this](QPointF pixel, int notches, Qt::KeyboardModifiers mods) {
            const ChartMouse at = chart_mouse(pixel, 0);
            const int shift = (mods & Qt::ShiftModifier ? 1 : 0) |
                              (mods & Qt::ControlModifier ? 2 : 0) |
                              (mods & Qt::AltModifier ? 4 : 0);
            window_.wheel({notches, shift, at.x});
            sync();
          });
  connect(&chart, &ChartWidget::navigation_key, this, [this](int key) {
    switch (key) {
      case Qt::Key_Left: window_.key(ChartKey::Left); break;
      case Qt::Key_Right: window_.key(ChartKey::Right); break;
      case Qt::Key_PageUp: window_.key(ChartKey::PageUp); break;
      case Qt::Key_PageDown: window_.key(ChartKey::PageDown); break;
      case Qt::Key_Home: window_.key(ChartKey::Home); break;
      default: window_.key(ChartKey::End); break;
    }
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
  sync_accessibility(bindings_);
  colour_channel_titles(bindings_, recorder_.state());
  timers_->sync();
  const QString title = QString::fromStdString(recorder_.state().window_caption);
  if (windowTitle() != title) setWindowTitle(title);
  if (window_.screen_pointer == Pointer::Busy) {
    setCursor(Qt::WaitCursor);
  } else if (testAttribute(Qt::WA_SetCursor)) {
    unsetCursor();
  }
  repaint_changes();
}

// Only what the recorder drew since the last sync is repainted: the new segments of the live
// plotter, a selection line, the labels of a redraw. A tick that draws nothing repaints nothing.
void MainWindow::repaint_changes() {
  const QRect chart_changed = chart_surface_.take_changed();
  if (chart_ && !chart_changed.isEmpty()) chart_->update(chart_changed);
  const QRect layer_changed = layer_surface_.take_changed();
  if (!layer_changed.isEmpty()) central_->update(layer_changed);
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

int MainWindow::to_pixels(float twips) const {
  return static_cast<int>(numbers::round_half_even(twips * logicalDpiX() / 1440.0));
}

// Outer size and position in twips, as the layout rules count them.
void MainWindow::lay_out() {
  const QRect frame = frameGeometry();
  const double twips = 1440.0 / logicalDpiX();
  chart::WindowGeometry g;
  g.left = static_cast<float>(frame.left() * twips);
  g.top = static_cast<float>(frame.top() * twips);
  g.width = static_cast<float>(frame.width() * twips);
  g.height = static_cast<float>(frame.height() * twips);
  g.minimized = isMinimized();
  g.maximized = isMaximized();
  recorder_.chart().resize(g);
  sync();
}

void MainWindow::apply_layout(const chart::WindowLayout& l) {
  auto place = [this](QWidget* widget, const platform::TwipsRect& r) {
    if (widget) widget->setGeometry(to_pixels(r.left), to_pixels(r.top), to_pixels(r.width),
                                    to_pixels(r.height));
  };
  place(widgets_.button_row, l.buttons);
  for (const auto& [name, rect] : {std::pair{"sp1", l.sp1}, {"sp2", l.sp2}, {"nhs1", l.nhs1},
                                   {"nvs1", l.nvs1}, {"nvs2", l.nvs2}, {"nvs12", l.nvs12},
                                   {"nvs22", l.nvs22}, {"nt1", l.nt1}, {"lnvs1", l.lnvs1},
                                   {"lnvs2", l.lnvs2}, {"lnvs12", l.lnvs12},
                                   {"lnvs22", l.lnvs22}}) {
    auto it = widgets_.placed.find(name);
    if (it != widgets_.placed.end()) place(it->second, rect);
  }
  if (chart_) {
    place(chart_, l.chart);
    chart_surface_.resize(chart_->width(), chart_->height(), chart_->devicePixelRatioF());
    chart_surface_.set_placement(l.chart);
  }
  const QSize area = central_->size();
  const double twips = 1440.0 / logicalDpiX();
  layer_surface_.resize(area.width(), area.height(), central_->devicePixelRatioF());
  const platform::TwipsRect whole{0, 0, static_cast<float>(area.width() * twips),
                                  static_cast<float>(area.height() * twips)};
  layer_surface_.set_scale(0, whole.height, whole.width);
  layer_surface_.set_placement(whole);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  lay_out();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) lay_out();
}

// Help > Contents and F1: the help document from the program's folder in a window of its own.
void MainWindow::show_help() {
  if (!help_) {
    help_ = new QTextBrowser(this);
    help_->setWindowFlag(Qt::Window);
    help_->setObjectName("help");
    help_->setWindowTitle(kHelpTitle);
    help_->setOpenExternalLinks(true);
    help_->resize(720, 640);
  }
  help_->setSource(QUrl::fromLocalFile(QString::fromStdString(recorder_.state().help_file)));
  help_->show();
  help_->raise();
}

// Help > About: name, version and build date, through the Dialogs interface like every message.
void MainWindow::show_about() {
  recorder_.context().platform.dialogs.message_box(about_text(), about_title(),
                                                   platform::MessageIcon::Information,
                                                   platform::MessageButtons::Ok);
}

}  // namespace zetra::ui
