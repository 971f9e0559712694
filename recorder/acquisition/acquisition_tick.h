// The body of Timer1: read one sample set, condition it, publish it, store it while recording.
#pragma once

#include "recorder/acquisition/sample_source.h"
#include "recorder/acquisition/serial_exchange.h"
#include "recorder/acquisition/usb_exchange.h"
#include "recorder/window/recorder_context.h"

namespace zetra {

// A meter that stays busy for more polls in a row than this counts as not answering: the values
// stored meanwhile are held copies, marked as such, and the status field says so.
inline constexpr int kBusyPollsTolerated = 3;

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
  void publish_and_store(ReadResult result);
  // Counts the polls without a sample set; the link notice says since when once they count as
  // not answering, and goes when a set arrives.
  void note_answer(ReadResult result);
  void mark_held(size_t index);
  int64_t now() const;

  RecorderContext& context_;
  RecorderState& state_;
  WindowModel& window_;
  SerialExchange serial_;
  UsbExchange usb_;
  int unanswered_ = 0;      // polls in a row that brought no sample set
  bool silent_ = false;     // those polls count as the unit not answering
  int64_t silent_since_s_ = 0;  // time of day of the first of them
  // The first sample stored during those polls and not yet marked held (0: none), and its time:
  // a busy run is marked from its start once it has lasted too long.
  size_t pending_first_ = 0;
  int64_t pending_since_s_ = 0;
};

}  // namespace zetra
