// The commands that shape raw readings into shown values: zero, calibration, temperature
// compensation, filter length, sample rate and recording memory.
#pragma once

#include <string>

#include "recorder/acquisition/sample_source.h"
#include "recorder/window/recorder_context.h"

namespace zetra {

class SignalConditioning {
 public:
  explicit SignalConditioning(RecorderContext& context) : context_(context) {}

  void bind();

 private:
  void bind_channel(Channel channel);
  void calibration_entry(Channel channel);
  std::string take_calibration(const std::string& first, const std::string& second,
                               float& pa_per_nm);
  void ask_number(const std::string& item, const char* title, const char* prompt, float& value);
  void tell_input(std::string notice);
  void set_tc_mode(bool on);
  void choose_rate(int per_second, const std::string& item);
  void choose_memory(float capacity, const std::string& item);

  RecorderContext& context_;
};

}  // namespace zetra
