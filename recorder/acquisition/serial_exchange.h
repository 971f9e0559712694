// The sample-set exchange over the serial port's modem lines, clocked bit by bit.
#pragma once

#include "platform/serial_port.h"
#include "recorder/acquisition/sample_source.h"

namespace zetra {

class SerialExchange final : public SampleSource {
 public:
  explicit SerialExchange(platform::SerialPort& port) : port_(port) {}

  ReadResult read_words(AcquisitionWorkingState& work) override;
  bool high_range(Channel channel) override;
  bool high_range_for_zero(Channel channel) override;

 private:
  void select(Channel channel);
  void clock_bit(AcquisitionWorkingState& work, float weight);
  void drive(bool accepted);

  platform::SerialPort& port_;
  bool refused_ = false;  // a line change was refused during this read
};

}  // namespace zetra
