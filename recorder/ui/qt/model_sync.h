// Mirrors the window model onto the Qt objects that show it: captions, enabled, visible, checked,
// tool tips, text, scroll bar ranges and positions, and the chart's pointer.
#pragma once

#include "recorder/ui/qt/view_bindings.h"

namespace zetra::ui {

void sync_action(const Control& control, QAction& action);
void sync_widget(const Control& control, QWidget& widget);
void sync_all(const ViewBindings& bindings);

}  // namespace zetra::ui
