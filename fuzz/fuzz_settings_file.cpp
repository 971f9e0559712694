// The settings file as start-up reads it, on any bytes: a recorder applies it (zetraopen) and
// must keep every start-up value it cannot use; the scales, store and choices stay usable.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_folder.h"
#include "recorder/files/settings_file.h"
#include "tests/support/recorder_harness.h"

using zetra::fuzz::folder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra;
  static testing::RecorderHarness h(testing::Transport::Usb, folder());
  {
    std::ofstream out(folder() + "/" + files::kSettingsFileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Procedures::call(h.recorder.procedures().zetraopen);
  const RecorderState& s = h.state();
  static constexpr std::array<float, 6> sizes = {100000, 200000, 500000, 1000000, 2000000, 5000000};
  if (std::find(sizes.begin(), sizes.end(), s.rec_capacity) == sizes.end()) std::abort();
  if (s.rec_cur1.size() != static_cast<size_t>(s.rec_capacity) + 1) std::abort();
  const double rate = 1.0 / s.sample_interval;
  if (!(rate >= 0.999 && rate <= 5.001)) std::abort();
  if (!(s.span1 > 0) || !(s.span2 > 0) || !(s.view_width > 0)) std::abort();
  if (s.tspan1 <= 0 || s.tspan2 <= 0) std::abort();
  if (!std::isfinite(s.pa_per_nm1) || s.pa_per_nm1 == 0 || !std::isfinite(s.offset1)) std::abort();
  if (h.window()["Timer1"].interval_ms <= 0) std::abort();
  return 0;
}
