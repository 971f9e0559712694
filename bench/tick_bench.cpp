// tick_serial and tick_usb: one Timer1 tick over a serial port whose calls do nothing, and over
// the in-process simulated base unit; the median of many ticks while recording.
#include <algorithm>
#include <vector>

#include "bench/figures.h"
#include "tests/support/recorder_harness.h"

namespace zetra::bench {
namespace {

// A serial port that accepts every call and reads every input line low.
class NoopSerialPort final : public platform::SerialPort {
 public:
  void select(int port_number) override { selected_ = port_number; }
  int selected() const override { return selected_; }
  std::string device_path(int) const override { return "noop"; }
  bool open() override { return open_ = true; }
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  bool set_dtr(bool) override { return true; }
  bool set_rts(bool) override { return true; }
  bool set_break(bool) override { return true; }
  bool cts() override { return false; }
  bool dsr() override { return false; }
  bool cd() override { return false; }

 private:
  int selected_ = 1;
  bool open_ = false;
};

// Median seconds of one Timer1 tick, recording, after the link came up.
double median_tick(Recorder& recorder, int ticks) {
  recorder.press("conoff");
  if (recorder.window()["conoff"].caption != "Off") return 1e9;  // never came up: a clear FAIL
  recorder.press("crec");
  std::vector<double> times;
  for (int i = 0; i < ticks; ++i) {
    if (!(recorder.state().rec_next + 1 < recorder.state().rec_capacity)) recorder.state().rec_next = 1;
    times.push_back(seconds_of([&] { recorder.tick("Timer1"); }));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

void tick_figures(const RunOptions& options, Report& report) {
  const int ticks = options.quick ? 500 : 5000;
  {
    testing::RecorderHarness usb(testing::Transport::Usb);
    report.limit("tick_usb", median_tick(usb.recorder, ticks) * 1e6, "us", 20);
  }
  NoopSerialPort port;
  testing::RecorderHarness rig(testing::Transport::Serial);  // lends dialogs, pause, library
  Platform platform = rig.platform();
  Platform noop{port, platform.device_library, platform.dialogs, platform.pause,
                platform.clipboard, platform.program_folder};
  testing::FakeSurface chart, layer{platform::TwipsRect{0, 0, 10000, 8000}};
  Recorder recorder(noop, ChartSurfaces{&chart, &layer});
  recorder.start();
  recorder.press("pcom1");
  report.limit("tick_serial", median_tick(recorder, ticks) * 1e6, "us", 20);
}

}  // namespace zetra::bench
