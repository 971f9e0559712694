// A recording file of any bytes opened through the window model as the operator would (File ›
// Open), then drawn, scrolled and measured over a selection with every Calculate mode, and
// copied. Whatever Open accepts must leave the recorder with values it can work with: the rate,
// memory, scales and colours of its own menus, and no out-of-range conversion on the way (UBSan).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_folder.h"
#include "recorder/files/field_limits.h"
#include "recorder/files/files_subsystem.h"
#include "tests/support/recorder_harness.h"

namespace {

using zetra::fuzz::folder;

// Names the broken condition before the abort, so that a crash report says which one.
void check(bool ok, const char* condition) {
  if (ok) return;
  std::fprintf(stderr, "check failed: %s\n", condition);
  std::abort();
}
#define CHECK(condition) check(condition, #condition)

// What Open may leave in force, whatever the file held.
void check_usable(const zetra::RecorderState& s, const zetra::WindowModel& w) {
  using namespace zetra::files::limits;
  CHECK(memory_size(s.rec_capacity));
  CHECK(s.rec_cur1.size() == static_cast<size_t>(s.rec_capacity) + 1);
  CHECK(s.rec_next >= 1 && s.rec_next <= s.rec_capacity);
  CHECK(listed_rate(s.sample_interval));
  CHECK(w["Timer1"].interval_ms >= 200 && w["Timer1"].interval_ms <= 1000);
  CHECK(listed_width(s.view_width, s.sample_interval));
  CHECK(listed_span(s.span1) && listed_span(s.span2));
  CHECK(listed_tspan(s.tspan1) && listed_tspan(s.tspan2));
  CHECK(value_offset(s.offset1, s.span1) && value_offset(s.offset2, s.span2));
  CHECK(temperature_base(s.tbase1) && temperature_base(s.tbase2));
  CHECK(divisor(s.pa_per_nm1) && divisor(s.pa_per_nm2));
  for (float c : {s.color_cur1, s.color_cur2, s.color_temp1, s.color_temp2}) CHECK(colour(c));
  CHECK(s.view_start >= 1 && s.view_start <= std::max(1.0f, s.rec_next));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra;
  static testing::RecorderHarness h(testing::Transport::Usb, folder());
  const std::string path = folder() + "/fuzzed.ztr";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  h.dialogs.messages.clear();
  h.dialogs.file_answers = {path};
  h.recorder.press("popen");
  const bool opened = h.dialogs.messages.empty();
  if (!opened) CHECK(h.dialogs.messages.back().text.rfind("Cannot open " + path, 0) == 0);
  RecorderState& s = h.state();
  WindowModel& w = h.window();
  check_usable(s, w);
  if (!opened) return 0;

  // Draw and scroll as the timers and bars would.
  h.recorder.tick("Timer2");
  h.recorder.tick("Timer3");
  w["nhs1"].value = w["nhs1"].maximum;
  s.hs_request = 1;
  h.recorder.tick("Timer3");
  // A selection at places the input picks (halves included), measured in every mode.
  const float width = s.view_width;
  const float from = size > 8 ? (data[size - 1] % 64) * width / 32 - width / 4 : 0;
  const float to = size > 8 ? (data[size - 2] % 64) * width / 32 - width / 4 + 0.5f : width;
  for (const char* mode : {"pvalue", "pmax", "pmin", "paver", "psample"}) {
    w.check(mode);
    w.mouse_down({1, 0, from, 0});
    w.mouse_move({1, 0, (from + to) / 2, 0});
    w.mouse_up({1, 0, to, 0});
  }
  h.recorder.press("ccopy");
  check_usable(s, w);
  return 0;
}
