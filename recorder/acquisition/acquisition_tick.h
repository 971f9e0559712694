// The body of Timer1: read one sample set, condition it, publish it, store it while recording.
#pragma once

#include "recorder/acquisition/sample_source.h"
#include "recorder/acquisition/serial_exchange.h"
#include "recorder/acquisition/usb_exchange.h"
#include "recorder/window/recorder_context.h"

namespace zetra {

class AcquisitionTick {
 public:
  explicit AcquisitionTick(RecorderContext& context);

  void run();

 private:
  void filter();
  void convert_current(Channel channel, SampleSource& source);
  void convert_temperatures();
  void settle_zero(Channel channel, SampleSource& source);
  void apply_marker();
  void publish_and_store();
  // The link notice: empty while the unit answers, the time it stopped answering otherwise.
  void show_answer(bool answered);

  RecorderContext& context_;
  RecorderState& state_;
  WindowModel& window_;
  SerialExchange serial_;
  UsbExchange usb_;
};

}  // namespace zetra
