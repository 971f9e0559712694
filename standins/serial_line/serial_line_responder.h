// The meter's side of the modem-line exchange: it watches DTR, RTS and break as the program
// drives them and presents CTS, CD and DSR, bit for bit.
#pragma once

#include <cstdint>

#include "standins/meter/sample_source.h"

namespace zetra::standins {

// The exchange as the meter sees it (program-side names; "high" = asserted):
//  - Between words (idle) CTS and CD are both high while the meter is busy, both low when a
//    sample set is ready. Each poll of a busy meter uses up that busy poll: the next poll
//    presents the next sample set.
//  - Start sequence: DTR goes high, low, high, low, high with nothing else in between. The meter
//    recognises four or more DTR changes in a row that leave DTR high, and restarts the word:
//    CTS and CD now present the lead bits. A data clock is only two changes, and the exchange
//    changes RTS and samples the lines between clocks; any such step ends a run of DTR changes.
//    (A meter would time the changes; a line sample here stands in for the time that passes.)
//  - Every other DTR low-to-high change clocks the next data bit, weight 2^28 first, 2^0 last.
//    With RTS high CTS/CD carry CH1's current/temperature bit, with RTS low CH2's.
//  - DTR falling after the 2^0 bit ends the sample set; its ranges stay on DSR until the next
//    poll, which presents a new set.
//  - DSR is the range of the channel RTS selects (high = x10 range), at any time.
//  - Break going off (the port closing its line) abandons a word in progress; the set is kept and
//    read again by the next word.
// Only level changes matter: setting a line to the level it already has is invisible to the meter.
class SerialLineResponder {
 public:
  explicit SerialLineResponder(SampleSource& source, double interval_s = 0.5);

  void set_dtr(bool high);
  void set_rts(bool high);
  void set_break(bool on);
  bool cts();
  bool cd();
  bool dsr();
  // The port closed: every program-driven line drops, a word in progress is abandoned.
  void lines_dropped();

  // Simulated time passed to the source for each new sample set.
  void set_interval(double interval_s) { interval_s_ = interval_s; }
  void set_source(SampleSource& source) { source_ = &source; }

  // Changes a channel's range in the set on the lines now (tests of a range change in a tick).
  void set_high_range(int channel, bool high);

  // The sample set on the lines now (the last one fetched).
  const SampleWords& presented() const { return set_; }
  bool in_word() const { return in_word_; }
  int bit_index() const { return bit_index_; }  // -1 = lead bit, 0..28 = weight 2^(28 - index)
  int sets_completed() const { return sets_completed_; }
  int sets_fetched() const { return sets_fetched_; }
  int busy_polls() const { return busy_polls_; }
  int word_starts() const { return word_starts_; }
  bool dtr() const { return dtr_; }
  bool rts() const { return rts_; }
  bool break_on() const { return break_; }

 private:
  enum ReadyLine : uint8_t { kCtsLine = 1, kCdLine = 2 };

  bool ready_line(ReadyLine line);
  bool word_bit(const MeterWord& word) const;
  const ChannelWords& selected() const { return set_.channel[rts_ ? 0 : 1]; }
  void fetch();
  void start_word();
  void finish_word();

  SampleSource* source_;
  double interval_s_;
  SampleWords set_;
  bool set_used_ = true;      // the set on the lines was read out (or none fetched yet)
  bool busy_shown_ = false;   // the busy set on the lines was already shown to a poll
  uint8_t poll_lines_ = 0;    // ready lines sampled in the current poll; a repeat starts a new poll
  bool in_word_ = false;
  int bit_index_ = -1;
  int dtr_changes_ = 0;       // DTR changes since any other exchange step: finds the start sequence
  bool dtr_ = false;
  bool rts_ = false;
  bool break_ = false;
  int sets_completed_ = 0;
  int sets_fetched_ = 0;
  int busy_polls_ = 0;
  int word_starts_ = 0;
};

}  // namespace zetra::standins
