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
  bool cts() override { return ++calls, false; }
  bool dsr() override { return ++calls, false; }
  bool cd() override { return ++calls, false; }

  long long calls = 0;  // input line samples, to show that a tick really exchanges a sample set

 private:
  int selected_ = 1;
  bool open_ = false;
};

// Median seconds of one Timer1 tick, recording, after the link came up; `stored` counts the
// samples the ticks stored.
double median_tick(Recorder& recorder, int ticks, long long& stored) {
  recorder.press("conoff");
  if (recorder.window()["conoff"].caption != "Off") return 1e9;  // never came up: a clear FAIL
  recorder.press("crec");
  std::vector<double> times;
  RecorderState& s = recorder.state();
  stored = 0;
  for (int i = 0; i < ticks; ++i) {
    if (!(s.rec_next + 1 < s.rec_capacity)) s.rec_next = 1;
    const float before = s.rec_next;
    times.push_back(seconds_of([&] { recorder.tick("Timer1"); }));
    stored += s.rec_next > before ? 1 : 0;
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

void tick_figures(const RunOptions& options, Report& report) {
  const int ticks = options.quick ? 500 : 5000;
  {
    testing::RecorderHarness usb(testing::Transport::Usb);
    long long stored = 0;
    const size_t calls_before = usb.library.calls().size();
    report.limit("tick_usb", median_tick(usb.recorder, ticks, stored) * 1e6, "us", 20);
    report.check("tick_usb_work", stored == ticks && usb.library.calls().size() > calls_before + ticks,
                 std::to_string(stored) + " of " + std::to_string(ticks) + " ticks stored a sample, " +
                     std::to_string(usb.library.calls().size() - calls_before) + " library calls:");
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
  long long stored = 0;
  report.limit("tick_serial", median_tick(recorder, ticks, stored) * 1e6, "us", 20);
  const long long per_tick = port.calls / ticks;
  report.check("tick_serial_work", stored == ticks && per_tick >= 126,
               std::to_string(stored) + " of " + std::to_string(ticks) + " ticks stored a sample, " +
                   std::to_string(per_tick) + " line samples per tick:");
}

}  // namespace zetra::bench
