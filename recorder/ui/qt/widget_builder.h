// Builds the window's widgets below the menu bar from the model's buttons, panels, labels, boxes,
// scroll bars and chart, each named after its control, and connects them to the view's events.
// The widgets are placed by the window layout in twips, not by Qt layouts.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "platform/qt/qt_surface.h"

#include "recorder/ui/qt/chart_widget.h"
#include "recorder/ui/qt/view_bindings.h"
#include "recorder/window/window_model.h"

namespace zetra::ui {

struct ViewEvents {
  std::function<void(const std::string&)> clicked;                         // a button
  std::function<void(const std::string&, int)> scrolled;                  // a user move
  std::function<void(const std::string&, const QString&)> text_edited;    // a text box
};

struct CentralWidgets {
  QWidget* button_row = nullptr;  // the file, edit, link and recording buttons
  ChartWidget* chart = nullptr;
  std::map<std::string, QWidget*> placed;  // panels, scroll bars and notes by control name
};

CentralWidgets build_central(QWidget& central, WindowModel& window, const ViewEvents& events,
                             ViewBindings& bindings, platform::QtSurface& chart_surface);

}  // namespace zetra::ui
