// Line roles: DTR clocks each bit (low then high); RTS selects the channel (high CH1, low CH2);
// break is set before every read; CTS carries the current bit, CD the temperature bit (both high
// before a sample set means busy); DSR tells the selected channel's range.
#include "recorder/acquisition/serial_exchange.h"

namespace zetra {

void SerialExchange::select(Channel channel) {
  drive(port_.set_rts(channel == Channel::Ch1));
  drive(port_.set_break(true));
}

// A port whose device has gone refuses every line change.
void SerialExchange::drive(bool accepted) {
  if (!accepted) refused_ = true;
}

ReadResult SerialExchange::read_words(AcquisitionWorkingState& work) {
  const bool cts = port_.cts();
  const bool cd = port_.cd();
  if (cts || cd) return ReadResult::Busy;
  refused_ = false;

  work.cur1 = work.cur2 = work.temp1 = work.temp2 = 0;
  work.cur1_lead = work.cur2_lead = work.temp1_lead = work.temp2_lead = 0;

  // Start sequence, then the lead bits of both channels.
  for (bool level : {true, false, true, false, true}) drive(port_.set_dtr(level));
  select(Channel::Ch1);
  work.cur1_lead = port_.cts() ? 1.0f : 0.0f;
  work.temp1_lead = port_.cd() ? 1.0f : 0.0f;
  select(Channel::Ch2);
  work.cur2_lead = port_.cts() ? 1.0f : 0.0f;
  work.temp2_lead = port_.cd() ? 1.0f : 0.0f;

  for (int k = 0; k < kDataBits; ++k) clock_bit(work, bit_weight(k));
  drive(port_.set_dtr(false));
  return refused_ ? ReadResult::NoAnswer : ReadResult::Ready;
}

void SerialExchange::clock_bit(AcquisitionWorkingState& work, float weight) {
  drive(port_.set_dtr(false));
  drive(port_.set_dtr(true));
  select(Channel::Ch1);
  // Each line is sampled whether or not its lead bit was set, so every tick clocks alike.
  if (port_.cts() && work.cur1_lead == 1.0f) work.cur1 = work.cur1 + weight;
  if (port_.cd() && work.temp1_lead == 1.0f) work.temp1 = work.temp1 + weight;
  select(Channel::Ch2);
  if (port_.cts() && work.cur2_lead == 1.0f) work.cur2 = work.cur2 + weight;
  if (port_.cd() && work.temp2_lead == 1.0f) work.temp2 = work.temp2 + weight;
}

bool SerialExchange::high_range(Channel channel) {
  select(channel);
  // The first sample decides. The second is still taken so the exchange keeps its shape, but a
  // range change between the two can no longer send the current through both branches or none.
  const bool high = port_.dsr();
  port_.dsr();
  return high;
}

bool SerialExchange::high_range_for_zero(Channel channel) {
  select(channel);
  return port_.dsr();
}

}  // namespace zetra
