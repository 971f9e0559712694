// One transport of the meter's sample set: the serial modem lines or the device library's block.
#pragma once

#include "recorder/state/recorder_state.h"

namespace zetra {

enum class Channel { Ch1 = 1, Ch2 = 2 };

// How a read of one sample set went: a set arrived, the meter was busy, or the unit did not answer
// (a device-library call failed, the serial port refused its lines).
enum class ReadResult { Ready, Busy, NoAnswer };

class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // Reads one sample set into the working values cur1, temp1, cur2, temp2 and the lead flags,
  // accumulating bit weights in 32-bit floats. Unless Ready, the working values are not to be used.
  virtual ReadResult read_words(AcquisitionWorkingState& work) = 0;
  // Whether the channel is in its high (x10) range for the current of this sample set.
  virtual bool high_range(Channel channel) = 0;
  // The same question asked again when a zero offset is captured.
  virtual bool high_range_for_zero(Channel channel) = 0;
};

// Weight of data bit k (0 = first clocked) of a word: 2^28 down to 2^0.
inline float bit_weight(int k) { return static_cast<float>(1u << (28 - k)); }
inline constexpr int kDataBits = 29;

}  // namespace zetra
