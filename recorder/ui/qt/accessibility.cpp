#include "recorder/ui/qt/accessibility.h"

#include <QLabel>

#include "recorder/chart/chart_view_rules.h"

namespace zetra::ui {

QString accessible_name(const Control& c) {
  if (c.access_name.empty()) return QString::fromStdString(c.caption);
  QString name = QString::fromStdString(c.access_name);
  if (c.kind == ControlKind::Label && !c.caption.empty()) {
    name += ": " + QString::fromStdString(c.caption);
  }
  return name;
}

void sync_accessibility(const ViewBindings& bindings) {
  for (const auto& [control, widget] : bindings.widgets) {
    const QString name = accessible_name(*control);
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
    const std::string& text = control->description.empty() ? control->tool_tip
                                                           : control->description;
    const QString description = QString::fromStdString(text);
    if (widget->accessibleDescription() != description) {
      widget->setAccessibleDescription(description);
    }
  }
  for (const auto& [control, action] : bindings.actions) {
    // Menu items: the tip serves as the status tip that tools read as the description.
    const QString tip = QString::fromStdString(control->tool_tip);
    if (!tip.isEmpty() && action->statusTip() != tip) action->setStatusTip(tip);
  }
}

void colour_channel_titles(const ViewBindings& bindings, const RecorderState& state) {
  for (const auto& [control, widget] : bindings.widgets) {
    const float* packed = chart::trace_colour(control->name, state);
    if (packed == nullptr) continue;
    const platform::Colour bgr = chart::colour_of(*packed);
    const QColor colour(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                        static_cast<int>((bgr >> 16) & 0xFF));
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == colour) continue;
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
  }
}

}  // namespace zetra::ui
