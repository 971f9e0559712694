// Conversion constants (exact): normal range pA = word / 715.828 - 11697; high range
// pA = word x 10 / 715.828 - 116940 (not 10 x 11697); deg C = word / 715828 - 3.7. Each named
// intermediate is a 32-bit float, as the meter software has always computed it.
#include "recorder/acquisition/acquisition_tick.h"

#include <string>

#include "recorder/acquisition/run_state.h"
#include "recorder/numbers/number_format.h"
#include "recorder/window/change_tracking.h"

namespace zetra {
namespace {

constexpr double kCountsPerPa = 715.828;
constexpr double kNormalOffsetPa = 11697;
constexpr double kHighOffsetPa = 116940;
constexpr double kCountsPerDegree = 715828;
constexpr double kTemperatureOffset = 3.7;
constexpr float kMarkerDipPa = 10000;

}  // namespace

AcquisitionTick::AcquisitionTick(RecorderContext& context)
    : context_(context),
      state_(context.state),
      window_(context.window),
      serial_(context.platform.serial_port),
      usb_(context.platform.device_library, context.state.dev_no) {}

void AcquisitionTick::run() {
  SampleSource& source = usb_link(window_) ? static_cast<SampleSource&>(usb_) : serial_;
  RecorderState& s = state_;
  const float held[] = {s.cur1, s.cur2, s.temp1, s.temp2};
  // A busy meter skips the conditioning: the previous values are published and stored again.
  // A unit that does not answer is treated alike, and the status field says since when.
  const ReadResult result = source.read_words(state_);
  if (result == ReadResult::NoAnswer) {
    s.cur1 = held[0];
    s.cur2 = held[1];
    s.temp1 = held[2];
    s.temp2 = held[3];
  }
  note_answer(result);
  if (result == ReadResult::Ready) {
    filter();
    convert_current(Channel::Ch1, source);
    convert_current(Channel::Ch2, source);
    convert_temperatures();
    settle_zero(Channel::Ch1, source);
    settle_zero(Channel::Ch2, source);
    apply_marker();
  }
  publish_and_store(result);
}

int64_t AcquisitionTick::now() const { return clock_of(context_.platform).seconds_of_day(); }

void AcquisitionTick::note_answer(ReadResult result) {
  std::string& notice = state_.link_notice;
  if (result == ReadResult::Ready) {
    unanswered_ = 0;
    silent_ = false;
    pending_first_ = 0;
    if (notice.empty()) return;
    notice.clear();
  } else {
    if (unanswered_ == 0) silent_since_s_ = now();
    ++unanswered_;
    // A device that refuses a call has not answered at once; a busy meter after a few polls.
    if (silent_ || (result == ReadResult::Busy && unanswered_ <= kBusyPollsTolerated)) return;
    silent_ = true;
    notice = "No answer from the unit since " + numbers::format_clock_time(silent_since_s_);
  }
  Procedures::call(context_.procedures.show_status_field);
}

// The sample at `index` is a held copy; so are those stored since the unanswered polls began.
void AcquisitionTick::mark_held(size_t index) {
  const int64_t time = now();
  for (size_t i = pending_first_ > 0 ? pending_first_ : index; i < index; ++i) {
    state_.held.hold(i, pending_since_s_);
  }
  state_.held.hold(index, time);
  pending_first_ = index + 1;
  pending_since_s_ = time;
}

void AcquisitionTick::filter() {
  RecorderState& s = state_;
  const auto pos = static_cast<size_t>(s.filter_pos);
  s.filter_hist1[pos] = s.cur1;
  s.filter_hist2[pos] = s.cur2;
  s.filter_written[pos] = true;
  s.filter_sum1 = 0;
  s.filter_sum2 = 0;
  // A slot never written since start-up counts as this tick's input: a recording started soon
  // after the first On begins at the measured value, not with a ramp up from zero. A written slot
  // keeps its reading, also after the order was lowered and raised again.
  const double share = 1.0 / s.filter_order;
  for (size_t k = 1; k <= static_cast<size_t>(s.filter_order); ++k) {
    const bool written = s.filter_written[k];
    s.filter_sum1 += (written ? s.filter_hist1[k] : s.cur1) * share;
    const float slot2 = written ? s.filter_hist2[k] : s.cur2;
    s.filter_sum2 = static_cast<float>(s.filter_sum2 + slot2 * share);
  }
  s.cur1 = static_cast<float>(s.filter_sum1);
  s.cur2 = s.filter_sum2;
  s.filter_pos = static_cast<int16_t>(s.filter_pos + 1);
  if (s.filter_pos > s.filter_order) s.filter_pos = 1;
}

void AcquisitionTick::convert_current(Channel channel, SampleSource& source) {
  RecorderState& s = state_;
  const bool ch1 = channel == Channel::Ch1;
  float& cur = ch1 ? s.cur1 : s.cur2;
  float& unzeroed = ch1 ? s.cur1_unzeroed : s.cur2_unzeroed;
  float& range = ch1 ? s.range1 : s.range2;
  const float zero_offset = ch1 ? s.zero_offset1 : s.zero_offset2;

  if (!source.high_range(channel)) {
    unzeroed = static_cast<float>(cur / kCountsPerPa - kNormalOffsetPa);
    range = 0;
    cur = unzeroed - zero_offset;
  } else {
    range = 1.0f;
    const float scaled = cur * 10.0f;
    unzeroed = static_cast<float>(scaled / kCountsPerPa - kHighOffsetPa);
    cur = unzeroed - 10.0f * zero_offset;
  }
}

void AcquisitionTick::convert_temperatures() {
  state_.temp1 = static_cast<float>(state_.temp1 / kCountsPerDegree - kTemperatureOffset);
  state_.temp2 = static_cast<float>(state_.temp2 / kCountsPerDegree - kTemperatureOffset);
}

void AcquisitionTick::settle_zero(Channel channel, SampleSource& source) {
  RecorderState& s = state_;
  const bool ch1 = channel == Channel::Ch1;
  int16_t& zero_state = ch1 ? s.zero_state1 : s.zero_state2;
  float& zero_offset = ch1 ? s.zero_offset1 : s.zero_offset2;
  // The new offset takes effect from the next tick; this tick's current is already final.
  if (zero_state == 1) {
    zero_offset = ch1 ? s.cur1_unzeroed : s.cur2_unzeroed;
    // Offsets are kept in normal-range pA.
    if (source.high_range_for_zero(channel)) zero_offset = zero_offset / 10.0f;
    zero_state = 2;
  } else if (zero_state == 0) {
    zero_offset = 0;
    zero_state = 2;
  }
}

void AcquisitionTick::apply_marker() {
  if (state_.marker_pending == 1) {
    state_.cur1 = state_.cur1 - kMarkerDipPa;
    state_.marker_pending = 0;
  }
}

void AcquisitionTick::publish_and_store(ReadResult result) {
  RecorderState& s = state_;
  s.live_cur1 = s.cur1;
  s.live_cur2 = s.cur2;
  s.live_temp1 = s.temp1;
  s.live_temp2 = s.temp2;
  // A full store silently keeps only the live values.
  const auto index = static_cast<size_t>(numbers::round_half_even(s.rec_next));
  if (!recording(window_) || !s.append(s.cur1, s.cur2, s.temp1, s.temp2)) {
    pending_first_ = 0;  // the samples of a run are marked only while they follow one another
    return;
  }
  if (result != ReadResult::Ready) {
    if (pending_first_ == 0 || pending_first_ > index) {
      pending_first_ = index;
      pending_since_s_ = silent_since_s_;
    }
    if (silent_) mark_held(index);
  }
  note_change(context_);
}

}  // namespace zetra
