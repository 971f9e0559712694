#include "recorder/acquisition/signal_conditioning.h"

#include <cmath>
#include <string>
#include <utility>

#include "recorder/numbers/number_format.h"
#include "recorder/window/control_set.h"
#include "recorder/window/recording_steps.h"
#include "recorder/window/tc_mode.h"
#include "recorder/window/unsaved_guard.h"

namespace zetra {
namespace {

// A typed number becomes a float value only when it is finite as a float.
bool to_finite_float(double number, float& out) {
  const auto value = static_cast<float>(number);
  if (!std::isfinite(value)) return false;
  out = value;
  return true;
}

}  // namespace

void SignalConditioning::bind() {
  WindowModel& window = context_.window;
  RecorderState& s = context_.state;
  bind_channel(Channel::Ch1);
  bind_channel(Channel::Ch2);
  constexpr const char* kFactorTitle = "Conversion factor setup";
  constexpr const char* kFactorPrompt = "Input conversion factor value (pA): ";
  constexpr const char* kStartTitle = "Start point temperature setup";
  constexpr const char* kStartPrompt = "Input start point temperature value (C): ";
  window.on("pcss", [this, &s] {
    ask_number("CH1 conversion factor", kFactorTitle, kFactorPrompt, s.tc_factor1);
  });
  window.on("pcss2", [this, &s] {
    ask_number("CH2 conversion factor", kFactorTitle, kFactorPrompt, s.tc_factor2);
  });
  window.on("pspts", [this, &s] {
    ask_number("CH1 start point temperature", kStartTitle, kStartPrompt, s.tc_start1);
  });
  window.on("pspts2", [this, &s] {
    ask_number("CH2 start point temperature", kStartTitle, kStartPrompt, s.tc_start2);
  });
  window.on("ptcmo", [this] { set_tc_mode(true); });
  window.on("ptcmf", [this] { set_tc_mode(false); });
  for (int order = 1; order <= 10; ++order) {
    const std::string item = "porder" + std::to_string(order);
    window.on(item, [this, &s, order, item] {
      s.filter_order = static_cast<int16_t>(order);  // the ring is deliberately not reset
      context_.window.check(item);
    });
  }
  for (int rate = 1; rate <= 5; ++rate) {
    const std::string item = "p" + std::to_string(rate) + "s1";
    window.on(item, [this, rate, item] { choose_rate(rate, item); });
  }
  for (const MemoryItem& memory : kMemoryItems) {
    window.on(memory.item, [this, memory] { choose_memory(memory.capacity, memory.item); });
  }
}

void SignalConditioning::bind_channel(Channel channel) {
  const std::string twin = channel == Channel::Ch1 ? "" : "2";
  RecorderState& s = context_.state;
  int16_t& zero_state = channel == Channel::Ch1 ? s.zero_state1 : s.zero_state2;
  WindowModel& window = context_.window;
  window.on("czero" + twin, [&window, &zero_state, twin] {
    window["t3" + twin].visible = true;
    zero_state = 1;  // captured on the next successful tick
  });
  window.on("coz" + twin, [&window, &zero_state, twin] {
    zero_state = 0;  // cleared on the next successful tick
    window["t3" + twin].visible = false;
  });
  window.on("ccal" + twin, [this, channel] { calibration_entry(channel); });
}

// The entry reads: first box, "pA =", second box, "nM". Opening it shows the calibration;
// closing it takes first / second as the new calibration when both boxes hold text.
void SignalConditioning::calibration_entry(Channel channel) {
  const std::string twin = channel == Channel::Ch1 ? "" : "2";
  WindowModel& window = context_.window;
  float& pa_per_nm = channel == Channel::Ch1 ? context_.state.pa_per_nm1
                                             : context_.state.pa_per_nm2;
  Control& first = window["ct1" + twin];
  Control& second = window["ct2" + twin];
  const bool opening = !first.visible;
  for (const std::string& name : {"ct1" + twin, "ct2" + twin, "cl1" + twin, "cl2" + twin}) {
    window[name].visible = opening;
  }
  if (opening) {
    first.caption = numbers::format_fixed(pa_per_nm, 2);
    second.caption = "1";
    return;
  }
  const std::string why = take_calibration(first.caption, second.caption, pa_per_nm);
  const std::string channel_name = channel == Channel::Ch1 ? "CH1" : "CH2";
  tell_input(why.empty() ? std::string()
                         : channel_name + " Conv: " + why + "; the calibration stays " +
                               numbers::format_fixed(pa_per_nm, 2) + " pA/nM");
  first.caption.clear();
  second.caption.clear();
}

// Sets `pa_per_nm` to number(first) / number(second), or says why the boxes are not taken:
// a zero, infinite or undefined calibration would make every nM value meaningless.
std::string SignalConditioning::take_calibration(const std::string& first,
                                                 const std::string& second, float& pa_per_nm) {
  if (first.empty() || second.empty()) return "both boxes need a number";
  const numbers::TypedNumber pa = numbers::parse_typed_number(first);
  const numbers::TypedNumber nm = numbers::parse_typed_number(second);
  for (const auto& [typed, text] : {std::pair{pa, &first}, std::pair{nm, &second}}) {
    if (!typed.is_number) return "\"" + *text + "\" is not a number";
  }
  if (nm.value == 0) return "cannot divide by 0 nM";
  if (pa.value == 0) return "a calibration of 0 pA/nM cannot convert";
  float calibration = 0;
  if (!to_finite_float(pa.value / nm.value, calibration) || calibration == 0) {
    return "\"" + first + "\" / \"" + second + "\" is out of range";
  }
  pa_per_nm = calibration;
  return {};
}

// Text that does not start with a number reads as 0, as it always has, and says so; a number
// too large for the value is not taken.
void SignalConditioning::ask_number(const std::string& item, const char* title, const char* prompt,
                                    float& value) {
  const std::string answer = context_.platform.dialogs.input_box(
      prompt, title, numbers::format_shortest(value));
  if (answer.empty()) return;
  const numbers::TypedNumber typed = numbers::parse_typed_number(answer);
  const bool taken = to_finite_float(typed.value, value);
  const std::string quoted = item + ": \"" + answer + "\"";
  if (!taken) {
    tell_input(quoted + " is out of range; the value stays " + numbers::format_shortest(value));
  } else if (!typed.is_number) {
    tell_input(quoted + " is not a number; the value is now 0");
  } else {
    tell_input({});
  }
}

// The status field says why typed input was not taken as typed, until input is taken.
void SignalConditioning::tell_input(std::string notice) {
  std::string& shown = context_.state.input_notice;
  if (shown == notice) return;
  shown = std::move(notice);
  Procedures::call(context_.procedures.show_status_field);
}

void SignalConditioning::set_tc_mode(bool on) {
  WindowModel& window = context_.window;
  show_tc_mode(context_.state, window, on);
  Procedures::call(context_.procedures.r_line);
}

// A new rate keeps the time per division and always starts a new, empty recording.
// A recording that would be lost asks first; emptied, it waits for Undo with the old rate.
void SignalConditioning::choose_rate(int per_second, const std::string& item) {
  RecorderState& s = context_.state;
  if (!may_discard_changes(context_, "Sample rate")) return;  // the old item stays checked
  const bool step = holds_anything(s, context_.window);
  RecordingSnapshot before = take_snapshot(s, context_.window);
  StoreChange undo = step ? set_aside_arrays(s) : StoreChange{};
  const double old_rate = 1.0 / s.sample_interval;
  const double seconds_per_division = s.view_width / (old_rate * 20);
  s.sample_interval = static_cast<float>(1.0 / per_second);
  context_.window["Timer1"].interval_ms =
      static_cast<int>(numbers::round_half_even(s.sample_interval * 1000.0));
  context_.window.check(item);
  s.view_width = static_cast<float>((1.0 / s.sample_interval) * seconds_per_division * 20);
  Procedures::call(context_.procedures.clsp1);
  if (step) record_step(context_, std::move(before), std::move(undo));
}

// New arrays replace the recorded samples; a recording that would be lost asks first, and the old
// arrays wait for Undo.
void SignalConditioning::choose_memory(float capacity, const std::string& item) {
  RecorderState& s = context_.state;
  const bool step = s.rec_next > 1;
  if (step && !may_discard_changes(context_, "Recording Memory")) return;
  RecordingSnapshot before = take_snapshot(s, context_.window);
  StoreChange undo = s.swap_arrays(RecordingStore::fresh_arrays(capacity));
  context_.window.check(item);
  // The data are gone anyway; a rec_next beyond the new arrays would let later code read past them.
  if (s.rec_capacity <= s.rec_next - 1) {
    s.rec_next = 1;
    s.shown_count = s.view_start = s.pen_x = 1;
  }
  if (step) record_step(context_, std::move(before), std::move(undo));
}

}  // namespace zetra
