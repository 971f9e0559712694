// What the meter delivers per sample set, both as engineering values and as the words on the wire.
// Channel index 0 is CH1, index 1 is CH2 throughout the stand-ins.
#pragma once

#include <array>
#include <cstdint>

namespace zetra::standins {

inline constexpr int kChannels = 2;
inline constexpr int kDataBits = 29;
inline constexpr uint32_t kMaxData = (1u << kDataBits) - 1;  // all 29 data bits set

// One word of the acquisition exchange: a lead bit, then 29 data bits sent most significant
// first (weight 2^28 down to 2^0). The lead bit is 1 when the value is valid; a reader ignores
// the data bits of a word whose lead bit is 0.
struct MeterWord {
  bool lead = false;
  uint32_t data = 0;  // 0 .. kMaxData

  friend bool operator==(const MeterWord&, const MeterWord&) = default;
};

struct ChannelWords {
  MeterWord current;
  MeterWord temperature;
  bool high_range = false;  // the channel is in its x10 range

  friend bool operator==(const ChannelWords&, const ChannelWords&) = default;
};

// One sample set as transported. A busy set stands for a poll that found the meter still
// converting: the reader is told "not ready" and asks again at its next tick.
struct SampleWords {
  std::array<ChannelWords, kChannels> channel{};
  bool busy = false;

  friend bool operator==(const SampleWords&, const SampleWords&) = default;
};

struct ChannelReading {
  double current_pa = 0.0;
  double temperature_c = 0.0;
  bool high_range = false;
};

// One sample set in engineering units, as the simulated sensors produced it.
struct SampleSet {
  std::array<ChannelReading, kChannels> channel{};
  bool busy = false;
};

}  // namespace zetra::standins
