#include "recorder/analysis/measurements.h"

#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// The scans below keep several independent lanes per figure, so that the compiler can work on a
// vector of samples at once; the lanes are joined at the end. Long selections are bound by memory
// bandwidth, not by the arithmetic.
constexpr int64_t kLanes = 8;

// The four arrays and the display rule of a scan.
struct Scan {
  const float* c1;
  const float* c2;
  const float* t1;
  const float* t2;
  ChannelRule rule1, rule2;
};

Scan scan_of(const RecorderState& s) {
  return {s.rec_cur1.data(), s.rec_cur2.data(), s.rec_temp1.data(), s.rec_temp2.data(),
          channel_rule(s, 1), channel_rule(s, 2)};
}

#if defined(__SSE2__)
// Four currents less their temperature drift, as the compensation shows them.
inline __m128 less_drift(const ChannelRule& rule, __m128 pa, __m128 temp) {
  const __m128 drift = _mm_sub_ps(temp, _mm_set1_ps(rule.tc_start));
  return _mm_sub_ps(pa, _mm_mul_ps(drift, _mm_set1_ps(rule.tc_factor)));
}
#endif

// Largest (or smallest) of each current and each temperature over the run, independently. A lane
// starts at the first sample and takes a value only when it is strictly better, as one running
// figure would; a NaN never wins, so the result is the same one figure.
template <bool kLargest>
SampleValues extremes(const RecorderState& s, IndexRun run) {
  const auto better = [](float v, float m) { return kLargest ? v > m : v < m; };
  const Scan d = scan_of(s);
  const SampleValues first = values_at(s, run.first);
  float v1[kLanes], v2[kLanes], t1[kLanes], t2[kLanes];
  for (int64_t j = 0; j < kLanes; ++j) {
    v1[j] = first.v1, v2[j] = first.v2, t1[j] = first.t1, t2[j] = first.t2;
  }
  int64_t k = run.first + 1;
#if defined(__SSE2__)
  // maxps (minps) keeps its second operand unless the first is strictly greater (smaller): the
  // same choice as `better`, four lanes at a time, whatever the optimiser does with plain loops.
  const auto pick = [](__m128 v, __m128 m) { return kLargest ? _mm_max_ps(v, m) : _mm_min_ps(v, m); };
  const auto shown = [](const ChannelRule& rule, __m128 pa, __m128 temp) {
    return rule.tc_on ? less_drift(rule, pa, temp) : pa;
  };
  float* lanes[] = {v1, v2, t1, t2};
  __m128 acc[4][2];
  for (int f = 0; f < 4; ++f) acc[f][0] = acc[f][1] = _mm_loadu_ps(lanes[f]);
  for (; k + kLanes - 1 <= run.last(); k += kLanes) {
    for (int h = 0; h < 2; ++h) {
      const int64_t at = k + 4 * h;
      const __m128 temp1 = _mm_loadu_ps(d.t1 + at), temp2 = _mm_loadu_ps(d.t2 + at);
      acc[0][h] = pick(shown(d.rule1, _mm_loadu_ps(d.c1 + at), temp1), acc[0][h]);
      acc[1][h] = pick(shown(d.rule2, _mm_loadu_ps(d.c2 + at), temp2), acc[1][h]);
      acc[2][h] = pick(temp1, acc[2][h]);
      acc[3][h] = pick(temp2, acc[3][h]);
    }
  }
  for (int f = 0; f < 4; ++f) {
    _mm_storeu_ps(lanes[f], acc[f][0]);
    _mm_storeu_ps(lanes[f] + 4, acc[f][1]);
  }
#else
  for (; k + kLanes - 1 <= run.last(); k += kLanes) {
    for (int64_t j = 0; j < kLanes; ++j) {
      const float a = d.rule1.compensated_pa(d.c1[k + j], d.t1[k + j]);
      const float b = d.rule2.compensated_pa(d.c2[k + j], d.t2[k + j]);
      v1[j] = better(a, v1[j]) ? a : v1[j];
      v2[j] = better(b, v2[j]) ? b : v2[j];
      t1[j] = better(d.t1[k + j], t1[j]) ? d.t1[k + j] : t1[j];
      t2[j] = better(d.t2[k + j], t2[j]) ? d.t2[k + j] : t2[j];
    }
  }
#endif
  SampleValues m = first;
  for (int64_t j = 0; j < kLanes; ++j) {
    if (better(v1[j], m.v1)) m.v1 = v1[j];
    if (better(v2[j], m.v2)) m.v2 = v2[j];
    if (better(t1[j], m.t1)) m.t1 = t1[j];
    if (better(t2[j], m.t2)) m.t2 = t2[j];
  }
  for (; k <= run.last(); ++k) {
    const float a = d.rule1.compensated_pa(d.c1[k], d.t1[k]);
    const float b = d.rule2.compensated_pa(d.c2[k], d.t2[k]);
    if (better(a, m.v1)) m.v1 = a;
    if (better(b, m.v2)) m.v2 = b;
    if (better(d.t1[k], m.t1)) m.t1 = d.t1[k];
    if (better(d.t2[k], m.t2)) m.t2 = d.t2[k];
  }
  return m;
}

// Sums over the run in double precision: a float sum past 16 million drops whole samples.
struct Sums {
  double v1 = 0, v2 = 0, t1 = 0, t2 = 0;
};

// Four double lanes per figure: four floats at a time are compensated in single precision as the
// display rule does, widened to two pairs of doubles and added. With SSE2 (every x86-64) the pairs
// are vector registers; elsewhere the same lanes are plain doubles.
struct Lanes4 {
#if defined(__SSE2__)
  __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
  void add(__m128 v, __m128d base) {
    low = _mm_add_pd(low, _mm_sub_pd(_mm_cvtps_pd(v), base));
    high = _mm_add_pd(high, _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), base));
  }
  void add(__m128 v) {
    low = _mm_add_pd(low, _mm_cvtps_pd(v));
    high = _mm_add_pd(high, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
  }
  double total() const {
    double l[2], h[2];
    _mm_storeu_pd(l, low);
    _mm_storeu_pd(h, high);
    return l[0] + l[1] + h[0] + h[1];
  }
#else
  double lane[4] = {};
  double total() const { return lane[0] + lane[1] + lane[2] + lane[3]; }
#endif
};

// The current a sample counts with: less its temperature drift when compensating.
template <bool kCompensated>
float sample_value(const ChannelRule& rule, float pa, float temp) {
  return kCompensated ? pa - (temp - rule.tc_start) * rule.tc_factor : pa;
}

// Adds samples k .. run.last() one by one: the tail the vector lanes leave.
template <bool kCompensated>
Sums add_tail(Sums sum, const Scan& d, int64_t k, IndexRun run, double base1, double base2) {
  for (; k <= run.last(); ++k) {
    sum.v1 += static_cast<double>(sample_value<kCompensated>(d.rule1, d.c1[k], d.t1[k])) - base1;
    sum.v2 += static_cast<double>(sample_value<kCompensated>(d.rule2, d.c2[k], d.t2[k])) - base2;
    sum.t1 += d.t1[k];
    sum.t2 += d.t2[k];
  }
  return sum;
}

template <bool kCompensated>
Sums lane_sums(const Scan& d, IndexRun run, double base1, double base2) {
  Lanes4 v1, v2, t1, t2;
  int64_t k = run.first;
#if defined(__SSE2__)
  const auto values = [](const ChannelRule& rule, __m128 pa, __m128 temp) {
    return kCompensated ? less_drift(rule, pa, temp) : pa;
  };
  const __m128d b1 = _mm_set1_pd(base1), b2 = _mm_set1_pd(base2);
  for (; k + 3 <= run.last(); k += 4) {
    const __m128 temp1 = _mm_loadu_ps(d.t1 + k), temp2 = _mm_loadu_ps(d.t2 + k);
    v1.add(values(d.rule1, _mm_loadu_ps(d.c1 + k), temp1), b1);
    v2.add(values(d.rule2, _mm_loadu_ps(d.c2 + k), temp2), b2);
    t1.add(temp1);
    t2.add(temp2);
  }
#else
  for (; k + 3 <= run.last(); k += 4) {
    for (int64_t j = 0; j < 4; ++j) {
      const float pa1 = sample_value<kCompensated>(d.rule1, d.c1[k + j], d.t1[k + j]);
      const float pa2 = sample_value<kCompensated>(d.rule2, d.c2[k + j], d.t2[k + j]);
      v1.lane[j] += static_cast<double>(pa1) - base1;
      v2.lane[j] += static_cast<double>(pa2) - base2;
      t1.lane[j] += d.t1[k + j];
      t2.lane[j] += d.t2[k + j];
    }
  }
#endif
  const Sums lanes{v1.total(), v2.total(), t1.total(), t2.total()};
  return add_tail<kCompensated>(lanes, d, k, run, base1, base2);
}

#if defined(__x86_64__)
// The same sums with eight double lanes in AVX registers, on processors that have them: twice the
// samples per instruction, which brings a long selection down to the memory's pace.
#define ZETRA_AVX __attribute__((target("avx"), always_inline)) inline
template <bool kCompensated>
ZETRA_AVX __m256 avx_values(const ChannelRule& rule, __m256 pa, __m256 temp) {
  if (!kCompensated) return pa;
  const __m256 drift = _mm256_sub_ps(temp, _mm256_set1_ps(rule.tc_start));
  return _mm256_sub_ps(pa, _mm256_mul_ps(drift, _mm256_set1_ps(rule.tc_factor)));
}
ZETRA_AVX __m256d widen_low(__m256 v) { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
ZETRA_AVX __m256d widen_high(__m256 v) { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }
#undef ZETRA_AVX

template <bool kCompensated>
__attribute__((target("avx"))) Sums avx_sums(const Scan& d, IndexRun run, double base1,
                                             double base2) {
  __m256d acc[4][2];
  for (auto& pair : acc) pair[0] = pair[1] = _mm256_setzero_pd();
  const __m256d b1 = _mm256_set1_pd(base1), b2 = _mm256_set1_pd(base2);
  int64_t k = run.first;
  for (; k + 7 <= run.last(); k += 8) {
    const __m256 temp1 = _mm256_loadu_ps(d.t1 + k), temp2 = _mm256_loadu_ps(d.t2 + k);
    const __m256 pa1 = avx_values<kCompensated>(d.rule1, _mm256_loadu_ps(d.c1 + k), temp1);
    const __m256 pa2 = avx_values<kCompensated>(d.rule2, _mm256_loadu_ps(d.c2 + k), temp2);
    acc[0][0] = _mm256_add_pd(acc[0][0], _mm256_sub_pd(widen_low(pa1), b1));
    acc[0][1] = _mm256_add_pd(acc[0][1], _mm256_sub_pd(widen_high(pa1), b1));
    acc[1][0] = _mm256_add_pd(acc[1][0], _mm256_sub_pd(widen_low(pa2), b2));
    acc[1][1] = _mm256_add_pd(acc[1][1], _mm256_sub_pd(widen_high(pa2), b2));
    acc[2][0] = _mm256_add_pd(acc[2][0], widen_low(temp1));
    acc[2][1] = _mm256_add_pd(acc[2][1], widen_high(temp1));
    acc[3][0] = _mm256_add_pd(acc[3][0], widen_low(temp2));
    acc[3][1] = _mm256_add_pd(acc[3][1], widen_high(temp2));
  }
  double totals[4] = {};
  for (int f = 0; f < 4; ++f) {
    double lanes[8];
    _mm256_storeu_pd(lanes, acc[f][0]);
    _mm256_storeu_pd(lanes + 4, acc[f][1]);
    for (const double lane : lanes) totals[f] += lane;
  }
  _mm256_zeroupper();
  const Sums lanes{totals[0], totals[1], totals[2], totals[3]};
  return add_tail<kCompensated>(lanes, d, k, run, base1, base2);
}

bool has_avx() {
  static const bool avx = __builtin_cpu_supports("avx");
  return avx;
}
#endif

Sums sums(const RecorderState& s, IndexRun run, double base1, double base2) {
  const Scan d = scan_of(s);
#if defined(__x86_64__)
  if (has_avx()) {
    return d.rule1.tc_on ? avx_sums<true>(d, run, base1, base2)
                         : avx_sums<false>(d, run, base1, base2);
  }
#endif
  return d.rule1.tc_on ? lane_sums<true>(d, run, base1, base2)
                       : lane_sums<false>(d, run, base1, base2);
}

bool extreme_readout(RecorderState& s, bool maximum) {
  const IndexRun run = scan_run(s, 1);  // the sample at sel_start always counts
  if (run.count == 0) return false;
  const SampleValues m = maximum ? extremes<true>(s, run) : extremes<false>(s, run);
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

// "   (includes n held samples: no answer from the unit)" when the samples between the
// selection's edges, both included, take in any the unit did not deliver.
std::string held_note(const RecorderState& s) {
  if (s.held.empty()) return {};
  const int64_t a = index_at(s, std::min(s.sel_start, s.sel_end));
  const int64_t b = std::min(index_at(s, std::max(s.sel_start, s.sel_end)), last_recorded(s));
  if (b < 1 || a > b) return {};
  const size_t held =
      s.held.count_in(static_cast<size_t>(std::max<int64_t>(a, 1)), static_cast<size_t>(b));
  if (held == 0) return {};
  return "   (includes " + std::to_string(held) + (held == 1 ? " held sample" : " held samples") +
         ": no answer from the unit)";
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
  if (shown) s.readout += held_note(s);
  return shown;
}

std::string status_line(const RecorderState& s) {
  return chart::scale_labels(s) + s.readout;
}

}  // namespace zetra::analysis
