// Builds the window's widgets below the menu bar from the model's buttons, panels, labels, boxes,
// scroll bars and chart, each named after its control, and connects them to the view's events.
#pragma once

#include <QVBoxLayout>
#include <functional>
#include <string>

#include "recorder/ui/chart_widget.h"
#include "recorder/ui/view_bindings.h"
#include "recorder/window/window_model.h"

namespace zetra::ui {

struct ViewEvents {
  std::function<void(const std::string&)> clicked;                         // a button
  std::function<void(const std::string&, int)> scrolled;                  // a user move
  std::function<void(const std::string&, const QString&)> text_edited;    // a text box
};

struct CentralWidgets {
  QVBoxLayout* layout = nullptr;  // rows from top to bottom; more rows may be appended
  ChartWidget* chart = nullptr;
};

CentralWidgets build_central(QWidget& central, WindowModel& window, const ViewEvents& events,
                             ViewBindings& bindings);

}  // namespace zetra::ui
