#include "recorder/analysis/measurements.h"

#include <cmath>
#include <string_view>

#include "recorder/state/display_rule.h"
#include "recorder/analysis/walk.h"
#include "recorder/chart/scale_menus.h"
#include "recorder/numbers/number_format.h"

namespace zetra::analysis {
namespace {

using numbers::format_fixed;

// Display values of one sample: currents by the display rule in pA, temperatures as stored.
struct SampleValues {
  float v1, v2, t1, t2;
};

bool in_arrays(const RecorderState& s, int64_t index) {
  return index >= 0 && index < static_cast<int64_t>(s.rec_cur1.size());
}

int64_t index_at(const RecorderState& s, float chart_x) { return index_of(s.view_start + chart_x); }

SampleValues values_at(const RecorderState& s, int64_t index) {
  const auto k = static_cast<size_t>(index);
  const float t1 = s.rec_temp1[k];
  const float t2 = s.rec_temp2[k];
  return {channel_rule(s, 1).compensated_pa(s.rec_cur1[k], t1),
          channel_rule(s, 2).compensated_pa(s.rec_cur2[k], t2), t1, t2};
}

void append_number(std::string& text, float value, int decimals, std::string_view suffix) {
  text += format_fixed(value, decimals);
  text += suffix;
}

void append_temperature(std::string& text, float celsius, std::string_view suffix = "") {
  text += format_fixed(celsius, 2);
  text += numbers::kDegreeSign;
  text += 'C';
  text += suffix;
}

// "v1 pA   v1 nM   T1°C ___ v2 pA   v2 nM   T2°C": the body of Value, Max, Min and Average.
std::string channel_pieces(const RecorderState& s, const SampleValues& v) {
  std::string text;
  append_number(text, v.v1, 1, " pA   ");
  append_number(text, v.v1 / s.pa_per_nm1, 1, " nM   ");
  append_temperature(text, v.t1, " ___ ");
  append_number(text, v.v2, 1, " pA   ");
  append_number(text, v.v2 / s.pa_per_nm2, 1, " nM   ");
  append_temperature(text, v.t2);
  return text;
}

// The indices a scan from sel_start towards sel_end visits, within the recording.
IndexRun scan_run(const RecorderState& s, int64_t minimum_visits) {
  const int64_t visits = std::max(walk_visits(s.sel_start, s.sel_end), minimum_visits);
  return clip_walk(index_at(s, s.sel_start), visits, s.sel_start > s.sel_end, last_recorded(s));
}

std::string delta(const RecorderState& s) {
  const SampleValues a = values_at(s, index_at(s, s.sel_start));
  const SampleValues b = values_at(s, index_at(s, s.sel_end));
  const float d1 = std::fabs(a.v1 - b.v1);
  const float d2 = std::fabs(a.v2 - b.v2);
  const float w = std::fabs(s.sel_start - s.sel_end);
  std::string text = "          Delta:  ";
  append_number(text, d1, 1, " pA      ");
  append_number(text, d1 / s.pa_per_nm1, 1, " nM      ");
  append_temperature(text, std::fabs(a.t1 - b.t1), "    ___ ");
  append_number(text, d2, 1, " pA      ");
  append_number(text, d2 / s.pa_per_nm2, 1, " nM      ");
  append_temperature(text, std::fabs(a.t2 - b.t2), "      ");
  append_number(text, w * s.sample_interval, 0, "s");
  return text;
}

// Largest (or smallest) of each current and each temperature over the run, independently.
template <typename Better>
SampleValues extremes(const RecorderState& s, IndexRun run, Better better) {
  const ChannelRule rule1 = channel_rule(s, 1);
  const ChannelRule rule2 = channel_rule(s, 2);
  const float* c1 = s.rec_cur1.data();
  const float* c2 = s.rec_cur2.data();
  const float* t1 = s.rec_temp1.data();
  const float* t2 = s.rec_temp2.data();
  SampleValues m = values_at(s, run.first);
  for (int64_t k = run.first + 1; k <= run.last(); ++k) {
    const float v1 = rule1.compensated_pa(c1[k], t1[k]);
    const float v2 = rule2.compensated_pa(c2[k], t2[k]);
    if (better(v1, m.v1)) m.v1 = v1;
    if (better(t1[k], m.t1)) m.t1 = t1[k];
    if (better(v2, m.v2)) m.v2 = v2;
    if (better(t2[k], m.t2)) m.t2 = t2[k];
  }
  return m;
}

// Sums over the run in double precision: a float sum past 16 million drops whole samples.
struct Sums {
  double v1 = 0, v2 = 0, t1 = 0, t2 = 0;
};

Sums sums(const RecorderState& s, IndexRun run, double base1, double base2) {
  const ChannelRule rule1 = channel_rule(s, 1);
  const ChannelRule rule2 = channel_rule(s, 2);
  const float* c1 = s.rec_cur1.data();
  const float* c2 = s.rec_cur2.data();
  const float* t1 = s.rec_temp1.data();
  const float* t2 = s.rec_temp2.data();
  Sums sum;
  for (int64_t k = run.first; k <= run.last(); ++k) {
    sum.v1 += rule1.compensated_pa(c1[k], t1[k]) - base1;
    sum.v2 += rule2.compensated_pa(c2[k], t2[k]) - base2;
    sum.t1 += t1[k];
    sum.t2 += t2[k];
  }
  return sum;
}

bool extreme_readout(RecorderState& s, bool maximum) {
  const IndexRun run = scan_run(s, 1);  // the sample at sel_start always counts
  if (run.count == 0) return false;
  const SampleValues m = maximum ? extremes(s, run, [](float v, float m) { return v > m; })
                                 : extremes(s, run, [](float v, float m) { return v < m; });
  s.meas1 = m.v1;
  s.meas2 = m.v2;
  s.readout = (maximum ? "          Max:  " : "          Min:  ") + channel_pieces(s, m);
  return true;
}

bool average_readout(RecorderState& s) {
  if (!(std::fabs(s.sel_start - s.sel_end) > 1.0f)) return false;
  const IndexRun run = scan_run(s, 0);
  if (run.count == 0) return false;
  const Sums sum = sums(s, run, 0, 0);
  const auto n = static_cast<double>(run.count);
  s.meas1 = static_cast<float>(sum.v1 / n);
  s.meas2 = static_cast<float>(sum.v2 / n);
  const SampleValues average{s.meas1, s.meas2, static_cast<float>(sum.t1 / n),
                             static_cast<float>(sum.t2 / n)};
  s.readout = "          Average:  " + channel_pieces(s, average);
  return true;
}

// Rectangle rule over the scanned samples less each channel's base line.
void integral_readout(RecorderState& s) {
  const Sums sum = sums(s, scan_run(s, 0), s.int_base1, s.int_base2);
  s.meas1 = static_cast<float>(sum.v1);
  s.meas2 = static_cast<float>(sum.v2);
  const float interval = s.sample_interval;
  std::string text = "          Integral = ";
  append_number(text, s.meas1 / (1.0f / interval), 1, " pAs   ");
  append_number(text, (s.meas1 / s.pa_per_nm1) * interval, 1, " nMs ___ ");
  append_number(text, s.meas2 / (1.0f / interval), 1, " pAs   ");
  append_number(text, (s.meas2 / s.pa_per_nm2) * interval, 1, " nMs");
  s.readout = std::move(text);
}

}  // namespace

std::string hover_readout(const RecorderState& s, float x) {
  const int64_t index = index_at(s, x);
  if (!in_arrays(s, index)) return {};
  std::string text = "          Value:  " + channel_pieces(s, values_at(s, index));
  text += s.tc_on ? "      Time:  " : "         Time:  ";
  append_number(text, (s.view_start + x) * s.sample_interval, 0, "s");
  return text;
}

bool measure(RecorderState& s, Measurement mode) {
  bool shown = true;
  switch (mode) {
    case Measurement::Delta:
      if (!in_arrays(s, index_at(s, s.sel_start)) || !in_arrays(s, index_at(s, s.sel_end))) {
        return false;
      }
      s.readout = delta(s);
      break;
    case Measurement::Maximum: shown = extreme_readout(s, true); break;
    case Measurement::Minimum: shown = extreme_readout(s, false); break;
    case Measurement::Average: shown = average_readout(s); break;
    case Measurement::Sample:
      s.readout = "          Samples:  " + format_fixed(std::fabs(s.sel_start - s.sel_end), 0);
      break;
    case Measurement::Integral: integral_readout(s); break;
  }
  s.sel_scan = s.sel_start;  // sel_scan rests at sel_start whenever no scan runs
  return shown;
}

std::string status_line(const RecorderState& s) {
  return chart::scale_labels(s) + s.readout;
}

}  // namespace zetra::analysis
