// A meter that plays back sample sets given word for word.
#include "standins/meter/scripted_meter.h"

#include "standins/meter/word_codec.h"

namespace zetra::standins {

MeterWord valid_word(uint32_t data) { return {true, data & kMaxData}; }
MeterWord invalid_word(uint32_t data) { return {false, data & kMaxData}; }

SampleWords make_words(MeterWord cur1, MeterWord temp1, MeterWord cur2, MeterWord temp2,
                       bool high_range1, bool high_range2) {
  SampleWords words;
  words.channel[0] = {cur1, temp1, high_range1};
  words.channel[1] = {cur2, temp2, high_range2};
  return words;
}

SampleWords busy_poll() {
  SampleWords words;
  words.busy = true;
  return words;
}

void ScriptedMeter::push(const SampleSet& set) { script_.push_back(encode(set)); }

SampleWords ScriptedMeter::next(double elapsed_s) {
  ++delivered_;
  elapsed_total_s_ += elapsed_s;
  if (script_.empty()) return last_ready_;
  SampleWords words = script_.front();
  script_.pop_front();
  if (!words.busy) last_ready_ = words;
  return words;
}

}  // namespace zetra::standins
