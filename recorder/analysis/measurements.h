// The readouts of the chart selection: the hover value under the pointer and the six measurements
// of the Calculate menu over the selected stretch, each as the status-line text it produces.
#pragma once

#include <string>

#include "recorder/state/recorder_state.h"

namespace zetra::analysis {

enum class Measurement { Delta, Maximum, Minimum, Average, Sample, Integral };

// The "Value" readout of the sample under chart position x (not rounded for the time piece).
// Empty when the sample lies beyond the store's arrays.
std::string hover_readout(const RecorderState& s, float x);

// Measures the selection sel_start .. sel_end and sets `readout` (and meas1, meas2 where the
// measurement uses them). Returns false, leaving `readout` alone, when there is nothing to show:
// Average over a width of 1 or less, or a stretch with no recorded sample in it.
bool measure(RecorderState& s, Measurement mode);

// "DIV: " and the five scale labels joined by "_", immediately followed by `readout`.
std::string status_line(const RecorderState& s);

}  // namespace zetra::analysis
