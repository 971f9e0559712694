// The live readouts beside the chart: both channels' currents in pA and nM and both temperatures.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::chart {

// Writes t2, t1, t4 (CH1) and t22, t12, t42 (CH2) from the live values: the main field shows the
// displayed unit, the small one the other; temperatures are shown uncompensated.
void update_readouts(RecorderContext& context);

}  // namespace zetra::chart
