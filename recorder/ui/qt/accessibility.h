// What screen readers and automation tools (AT-SPI) learn about each widget: a name that says what
// the control is, a readout's name with its present value, and a description; and the channel
// titles in their traces' colours.
#pragma once

#include "recorder/state/recorder_state.h"
#include "recorder/ui/qt/view_bindings.h"

namespace zetra::ui {

// "CH1 current: +000'012.5 pA" for a named label, the caption for a button without a name of
// its own, the name alone for everything else.
QString accessible_name(const Control& control);

void sync_accessibility(const ViewBindings& bindings);

// The CH1 and CH2 titles of the readout panels take the colours of their value traces, the
// captions of the vertical bars those of the traces the bars move.
void colour_channel_titles(const ViewBindings& bindings, const RecorderState& state);

}  // namespace zetra::ui
