// The meter's side of the modem-line exchange.
#include "standins/serial_line/serial_line_responder.h"

namespace zetra::standins {

namespace {
constexpr int kLastBit = kDataBits - 1;  // index of the 2^0 bit
constexpr int kStartChanges = 4;         // DTR changes in a row that make a start sequence
}  // namespace

SerialLineResponder::SerialLineResponder(SampleSource& source, double interval_s)
    : source_(&source), interval_s_(interval_s) {}

void SerialLineResponder::set_dtr(bool high) {
  if (high == dtr_) return;
  dtr_ = high;
  ++dtr_changes_;
  if (high) {
    if (dtr_changes_ >= kStartChanges) {
      start_word();
    } else if (in_word_ && bit_index_ < kLastBit) {
      ++bit_index_;
    }
  } else if (in_word_ && bit_index_ == kLastBit) {
    finish_word();
  }
}

void SerialLineResponder::set_rts(bool high) {
  if (high == rts_) return;
  rts_ = high;
  dtr_changes_ = 0;
}

void SerialLineResponder::set_break(bool on) {
  if (on == break_) return;
  break_ = on;
  if (!on) in_word_ = false;
}

bool SerialLineResponder::cts() {
  dtr_changes_ = 0;
  if (in_word_) return word_bit(selected().current);
  return ready_line(kCtsLine);
}

bool SerialLineResponder::cd() {
  dtr_changes_ = 0;
  if (in_word_) return word_bit(selected().temperature);
  return ready_line(kCdLine);
}

bool SerialLineResponder::dsr() {
  dtr_changes_ = 0;
  if (sets_fetched_ == 0) fetch();  // the lines show a set from the start
  return selected().high_range;
}

void SerialLineResponder::lines_dropped() {
  dtr_ = rts_ = break_ = false;
  dtr_changes_ = 0;
  in_word_ = false;
}

void SerialLineResponder::set_high_range(int channel, bool high) {
  set_.channel[channel].high_range = high;
}

// A poll samples CTS and CD (in either order, or only one of them); sampling a line that this
// poll already sampled means the program is polling again.
bool SerialLineResponder::ready_line(ReadyLine line) {
  if (poll_lines_ & line) {
    poll_lines_ = 0;
    if (set_.busy && busy_shown_) set_used_ = true;
  }
  if (set_used_) fetch();
  poll_lines_ |= line;
  if (set_.busy && !busy_shown_) {
    busy_shown_ = true;
    ++busy_polls_;
  }
  return set_.busy;
}

bool SerialLineResponder::word_bit(const MeterWord& word) const {
  if (bit_index_ < 0) return word.lead;
  return (word.data >> (kLastBit - bit_index_)) & 1u;
}

void SerialLineResponder::fetch() {
  set_ = source_->next(interval_s_);
  set_used_ = false;
  busy_shown_ = false;
  ++sets_fetched_;
}

void SerialLineResponder::start_word() {
  if (set_used_) fetch();
  in_word_ = true;
  bit_index_ = -1;
  poll_lines_ = 0;
  dtr_changes_ = 0;
  ++word_starts_;
}

void SerialLineResponder::finish_word() {
  in_word_ = false;
  set_used_ = true;
  ++sets_completed_;
}

}  // namespace zetra::standins
