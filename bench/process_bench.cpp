// memory_5m and startup, each measured in a fresh child process of this program, so that
// nothing the other figures allocated or loaded counts.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "bench/figures.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_device_library.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_surface.h"
#include "platform/qt/qt_window_frame.h"
#include "platform/qt/thread_pause.h"
#include "recorder/app/recorder.h"
#include "recorder/ui/qt/main_window.h"
#include "tests/support/recorder_harness.h"

namespace zetra::bench {
namespace {

constexpr size_t kStore = 5000000;

// Monotonic clock in nanoseconds, the same clock in parent and child.
long long monotonic_ns() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Peak resident set of this process in bytes (VmHWM).
double peak_resident_bytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

// Runs this program again with `arguments` and reads the one number it prints.
double child_number(const std::string& program, const std::string& arguments) {
  const std::string command = "'" + program + "' " + arguments;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  double value = -1;
  if (std::fscanf(pipe, "%lf", &value) != 1) value = -1;
  return pclose(pipe) == 0 ? value : -1;
}

// Sets a flag when any widget of the watched window has been sent a paint event.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* window) : window_(window) {}
  bool painted = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget != nullptr && widget->window() == window_) painted = true;
    }
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

// The recorder with a 5M store and a 5M copy buffer, both filled: prints the peak resident MB.
int memory_child() {
  {
    testing::RecorderHarness h;
    RecorderState& s = h.state();
    s.allocate(kStore);
    fill_recording(s, kStore - 1, 3);
    s.clip_cur1.assign(s.rec_cur1.data(), s.rec_cur1.data() + s.rec_cur1.size());
    s.clip_cur2.assign(s.rec_cur2.data(), s.rec_cur2.data() + s.rec_cur2.size());
    s.clip_temp1.assign(s.rec_temp1.data(), s.rec_temp1.data() + s.rec_temp1.size());
    s.clip_temp2.assign(s.rec_temp2.data(), s.rec_temp2.data() + s.rec_temp2.size());
    s.clip_count = static_cast<float>(kStore - 1);
    std::printf("%.1f\n", peak_resident_bytes() / 1e6);
  }
  return 0;
}

// The program's own start, as its main does it, up to the first painted window: prints seconds
// since `start_ns`, the parent's clock just before it started this process.
int startup_child(int argc, char** argv, long long start_ns, const std::string& folder) {
  QApplication app(argc, argv);
  platform::QtSerialPort serial_port;
  platform::QtDeviceLibrary device_library;
  platform::QtDialogs dialogs;
  platform::ThreadPause pause;
  platform::QtClipboard clipboard;
  platform::QtPrinter printer;
  platform::QtWindowFrame frame;
  platform::QtSurface chart_surface;
  platform::QtSurface window_layer;
  Recorder recorder(Platform{serial_port, device_library, dialogs, pause, clipboard, folder,
                             &printer, &frame},
                    ChartSurfaces{&chart_surface, &window_layer});
  recorder.start();
  ui::MainWindow window(recorder, chart_surface, window_layer);
  dialogs.set_parent(&window);
  printer.set_parent(&window);
  frame.attach(&window);
  PaintWatch watch(&window);
  app.installEventFilter(&watch);
  window.show();
  while (!watch.painted) app.processEvents(QEventLoop::AllEvents, 10);
  app.processEvents();  // the rest of that paint pass
  std::printf("%.6f\n", static_cast<double>(monotonic_ns() - start_ns) / 1e9);
  std::fflush(stdout);
  std::_Exit(0);  // no exit handling: the settings file stays as it was
}

// Writes the settings file of a recorder at 5 samples/s on USB1 into `folder` (for idle_cpu.sh).
int settings_child(const std::string& folder) {
  testing::RecorderHarness h(testing::Transport::Usb, folder);
  h.recorder.press("p5s1");
  Procedures::call(h.recorder.context().procedures.zetrasave);
  return h.state().sample_interval == 0.2f ? 0 : 1;
}

void process_figures(const RunOptions& options, Report& report, const std::string& program,
                     const std::string& folder) {
  const double arrays_mb = 2.0 * 4 * 4 * static_cast<double>(kStore + 1) / 1e6;
  const double peak = child_number(program, "--child-memory");
  report.limit("memory_5m", peak, "MB", arrays_mb + 100);

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double best = 1e9;
  for (int i = 0; i < options.reps(3); ++i) {
    const long long start = monotonic_ns();
    const double seconds = child_number(
        program, "--child-startup " + std::to_string(start) + " '" + folder + "'");
    if (seconds >= 0 && seconds < best) best = seconds;
  }
  report.limit("startup", best * 1e3, "ms", 1000);
}

}  // namespace zetra::bench
