// undo_cut_1m and undo_delete_all_5m: Undo of a Cut of 1,000,000 samples from the middle of a
// 5,000,000-sample recording, and of Delete all on it, through the window as the menu runs them.
// Each is held to a fixed limit; a Redo (not timed) makes the step again between the runs.
#include <algorithm>
#include <string>

#include "bench/figures.h"
#include "tests/support/recorder_harness.h"

namespace zetra::bench {
namespace {

constexpr float kStore = 5000000;

// The fastest Undo of the recorder's last step; `intact` stays true while every Undo brings back
// the counter of the full recording.
double fastest_undo(Recorder& recorder, int reps, float full_next, bool& intact) {
  const RecorderState& s = recorder.state();
  double best = 1e9;
  for (int i = 0; i < reps; ++i) {
    best = std::min(best, seconds_of([&] { recorder.press("pundo"); }));
    intact = intact && s.rec_next == full_next;
    recorder.press("predo");
  }
  return best;
}

}  // namespace

void undo_figures(const RunOptions& options, Report& report) {
  testing::RecorderHarness h;
  Recorder& recorder = h.recorder;
  RecorderState& s = h.state();
  recorder.press("pr5m");
  fill_recording(s, static_cast<size_t>(kStore) - 1, 5);
  s.shown_count = s.rec_next;
  const float full = s.rec_next;

  s.view_start = 1;
  s.sel_start = 2000000;
  s.sel_end = 3000000;
  recorder.press("pcut");
  bool intact = s.rec_next == full - 1000000;
  const double cut = fastest_undo(recorder, options.reps(5), full, intact);
  report.limit("undo_cut_1m", cut * 1e3, "ms", 50);
  report.check("undo_cut_1m_result", intact, "the 1M samples come back in their place:");

  recorder.press("pundo");
  h.dialogs.message_answers = {platform::MessageAnswer::Ok};
  recorder.press("pcleara");
  intact = s.rec_next == 1;
  const double all = fastest_undo(recorder, options.reps(5), full, intact);
  report.limit("undo_delete_all_5m", all * 1e3, "ms", 50);
  report.check("undo_delete_all_5m_result", intact, "the 5M-sample recording comes back:");
}

}  // namespace zetra::bench
