// How a stored or live current becomes the value shown, measured, printed or exported: optional
// temperature compensation, then pA or nM. The store itself only ever holds raw pA.
#pragma once

#include "recorder/state/recorder_state.h"

namespace zetra {

// The conditioning constants of one channel, taken once before a scan.
struct ChannelRule {
  bool tc_on;
  float tc_start;
  float tc_factor;
  float pa_per_nm;

  // Compensated current in pA of a sample with current `pa` at temperature `temp`.
  float compensated_pa(float pa, float temp) const {
    return tc_on ? pa - (temp - tc_start) * tc_factor : pa;
  }
  float nanomolar(float pa, float temp) const { return compensated_pa(pa, temp) / pa_per_nm; }
};

inline ChannelRule channel_rule(const ConditioningSettings& s, int channel) {
  return channel == 1 ? ChannelRule{s.tc_on, s.tc_start1, s.tc_factor1, s.pa_per_nm1}
                      : ChannelRule{s.tc_on, s.tc_start2, s.tc_factor2, s.pa_per_nm2};
}

}  // namespace zetra
