// measure_5m and copy_1m: the Calculate modes over a 5,000,000-sample selection against one pass
// summing the four arrays, and Copy's clipboard text against the same text built with snprintf.
#include <cmath>
#include <cstdio>
#include <string>

#include "bench/figures.h"
#include "recorder/analysis/measurements.h"
#include "recorder/state/display_rule.h"
#include "tests/support/recorder_harness.h"

namespace zetra::bench {
namespace {

constexpr size_t kStore = 5000000;

// The recorder with a full 5M store, temperature compensation on.
struct ScanRig {
  testing::RecorderHarness h;
  ScanRig() {
    RecorderState& s = h.state();
    s.allocate(kStore);
    fill_recording(s, kStore - 1, 5);
    s.shown_count = s.rec_next;
    s.view_start = 1;
    s.tc_on = true;
    s.tc_start1 = s.tc_start2 = 25;
    s.tc_factor1 = 3.5f;
    s.tc_factor2 = -2.25f;
    s.pa_per_nm1 = 7.5f;
    s.pa_per_nm2 = 3;
    s.sample_interval = 0.2f;
  }
};

// The baseline scan: one pass summing the same four arrays over the same samples with float
// accumulators, eight lanes per array so that the compiler can vectorise it: the memory
// bandwidth limit.
float sum_four(const RecorderState& s, size_t first, size_t last) {
  constexpr size_t kLanes = 8;
  const float* arrays[] = {s.rec_cur1.data(), s.rec_cur2.data(), s.rec_temp1.data(),
                           s.rec_temp2.data()};
  float lanes[4][kLanes] = {};
  size_t k = first;
  for (; k + kLanes <= last + 1; k += kLanes) {
    for (size_t a = 0; a < 4; ++a) {
      for (size_t j = 0; j < kLanes; ++j) lanes[a][j] += arrays[a][k + j];
    }
  }
  float total = 0;
  for (; k <= last; ++k) {
    for (const float* array : arrays) total += array[k];
  }
  for (const auto& lane : lanes) {
    for (float v : lane) total += v;
  }
  return total;
}

// The clipboard text of samples first .. first + count - 1, every field by snprintf.
std::string snprintf_table(const RecorderState& s, size_t first, size_t count, float position) {
  std::string out = "   Time\t  <1>pA\t  <1>nM\t   <1>\xC2\xB0""C\t  <2>pA\t  <2>nM\t   <2>\xC2\xB0""C\r\n";
  out.reserve(out.size() + count * 56);
  const ChannelRule rule1 = channel_rule(s, 1);
  const ChannelRule rule2 = channel_rule(s, 2);
  char line[7 * 64 + 8];
  for (size_t j = 0; j < count; ++j, position += 1.0f) {
    const size_t k = first + j;
    const float pa1 = rule1.compensated_pa(s.rec_cur1[k], s.rec_temp1[k]);
    const float pa2 = rule2.compensated_pa(s.rec_cur2[k], s.rec_temp2[k]);
    char* p = line;
    p = snprintf_field(p, position * s.sample_interval, 1, '\t');
    p = snprintf_field(p, pa1, 1, '\t');
    p = snprintf_field(p, pa1 / rule1.pa_per_nm, 1, '\t');
    p = snprintf_field(p, s.rec_temp1[k], 2, '\t');
    p = snprintf_field(p, pa2, 1, '\t');
    p = snprintf_field(p, pa2 / rule2.pa_per_nm, 1, '\t');
    p = snprintf_field(p, s.rec_temp2[k], 2, '\r');
    *p++ = '\n';
    out.append(line, p);
  }
  return out;
}

struct ModeName {
  analysis::Measurement mode;
  const char* name;
};
constexpr ModeName kModes[] = {
    {analysis::Measurement::Delta, "delta"},     {analysis::Measurement::Maximum, "maximum"},
    {analysis::Measurement::Minimum, "minimum"}, {analysis::Measurement::Average, "average"},
    {analysis::Measurement::Sample, "sample"},   {analysis::Measurement::Integral, "integral"}};

void measure_figures(const RunOptions& options, Report& report, ScanRig& rig) {
  RecorderState& s = rig.h.state();
  const size_t last = kStore - 1;  // the newest sample of the full store
  volatile float sink = 0;
  for (const ModeName& m : kModes) {
    const Pair p = fastest_pair(
        options.reps(7),
        [&] {
          s.sel_start = 0;
          s.sel_end = static_cast<float>(kStore);
          analysis::measure(s, m.mode);
        },
        [&] { sink = sum_four(s, 1, last); });
    report.ratio(std::string("measure_5m_") + m.name, p.ours * 1e3, p.baseline * 1e3, "ms", 1.2);
  }
  (void)sink;
}

void copy_figures(const RunOptions& options, Report& report, ScanRig& rig) {
  RecorderState& s = rig.h.state();
  constexpr size_t kCount = 1000000;
  std::string plain;
  const Pair p = fastest_pair(
      options.reps(5),
      [&] {
        s.sel_start = 0;
        s.sel_end = static_cast<float>(kCount);
        rig.h.recorder.press("ccopy");
      },
      [&] { plain = snprintf_table(s, 1, kCount, 1); });
  report.ratio("copy_1m", p.ours * 1e3, p.baseline * 1e3, "ms", 0.25);
  const std::string& ours = rig.h.clipboard.text;
  report.check("copy_1m_text", ours == plain,
               "clipboard text (" + std::to_string(ours.size()) + " bytes) and snprintf text (" +
                   std::to_string(plain.size()) + " bytes) identical:");
}

}  // namespace

void scan_figures(const RunOptions& options, Report& report) {
  ScanRig rig;
  measure_figures(options, report, rig);
  copy_figures(options, report, rig);
}

}  // namespace zetra::bench
