// A meter that plays back sample sets given word for word, so tests can present exact bit
// patterns (lead 0 with all data bits 1, all 29 bits 1, a range flag, a busy poll).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "standins/meter/sample_source.h"

namespace zetra::standins {

// Convenience builders for scripts.
MeterWord valid_word(uint32_t data);    // lead 1
MeterWord invalid_word(uint32_t data);  // lead 0: the data bits are still sent
SampleWords make_words(MeterWord cur1, MeterWord temp1, MeterWord cur2, MeterWord temp2,
                       bool high_range1 = false, bool high_range2 = false);
SampleWords busy_poll();

class ScriptedMeter final : public SampleSource {
 public:
  void push(const SampleWords& words) { script_.push_back(words); }
  // Encodes engineering values (lead bits 1).
  void push(const SampleSet& set);
  void push_busy() { script_.push_back(busy_poll()); }

  // Plays the script in order. When it runs out, the last non-busy set delivered is repeated
  // (all words zero with lead 0 if there was none), so a test that runs long stays defined.
  SampleWords next(double elapsed_s) override;

  size_t remaining() const { return script_.size(); }
  int delivered() const { return delivered_; }
  double elapsed_total_s() const { return elapsed_total_s_; }

 private:
  std::deque<SampleWords> script_;
  SampleWords last_ready_;
  int delivered_ = 0;
  double elapsed_total_s_ = 0.0;
};

}  // namespace zetra::standins
