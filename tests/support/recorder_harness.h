// A recorder wired to the meter's stand-ins and scripted dialogs, for scenario tests: a scripted
// meter sits behind both the fake serial port and every simulated USB unit.
#pragma once

#include <memory>
#include <string>

#include "recorder/app/recorder.h"
#include "standins/base_unit/base_unit_library.h"
#include "standins/meter/scripted_meter.h"
#include "standins/serial_line/fake_serial_port.h"
#include "tests/support/counting_pause.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_surface.h"
#include "tests/support/fake_window_frame.h"
#include "tests/support/memory_clipboard.h"
#include "tests/support/recording_printer.h"
#include "tests/support/scripted_dialogs.h"

namespace zetra::testing {

enum class Transport { Serial, Usb };

class RecorderHarness {
 public:
  // Starts the recorder with the link menu set to the transport (COM1 or USB1).
  // `folder` is the program's folder, where the settings file and file1.ztr live unless a
  // separate data folder is given.
  explicit RecorderHarness(Transport transport = Transport::Usb, std::string folder = "/opt/zetra",
                           std::string data = "")
      : program_folder(std::move(folder)), data_folder(std::move(data)) {
    for (uint8_t unit = 1; unit <= 4; ++unit) library.use_source(unit, meter);
    recorder.start();
    recorder.press(transport == Transport::Usb ? "pusb1" : "pcom1");
  }

  // Presses On and insists that the link came up.
  void connect() {
    recorder.press("conoff");
    if (recorder.window()["conoff"].caption != "Off") throw std::runtime_error("connect failed");
  }

  // Ends the program as the window closing would: the recorder goes away.
  void end_program() { owned_.reset(); }

  RecorderState& state() { return recorder.state(); }
  WindowModel& window() { return recorder.window(); }
  Platform platform() {
    return Platform{serial,         library,  dialogs, pause,       clipboard,
                    program_folder, &printer, &frame,  data_folder, &clock};
  }

  // The device-library calls so far, loading left out: "KV_OpenDevice(1) KV_USRConfig(1, 0)".
  std::string library_calls() const {
    std::string text;
    for (const standins::LibraryCall& call : library.calls()) {
      if (call.function == "load") continue;
      if (!text.empty()) text += ' ';
      text += call.text();
    }
    return text;
  }

  standins::ScriptedMeter meter;
  standins::FakeSerialPort serial{meter};
  standins::BaseUnitLibrary library;
  ScriptedDialogs dialogs;
  CountingPause pause;
  MemoryClipboard clipboard;
  RecordingPrinter printer;
  FakeWindowFrame frame;
  FakeClock clock;
  std::string program_folder;
  std::string data_folder;  // empty: the program folder
  FakeSurface chart_surface;                                         // the chart p1, chart units
  FakeSurface window_layer{platform::TwipsRect{0, 0, 10000, 8000}};  // ticks and labels, twips

 private:
  std::unique_ptr<Recorder> owned_ =
      std::make_unique<Recorder>(platform(), ChartSurfaces{&chart_surface, &window_layer});

 public:
  Recorder& recorder = *owned_;
};

}  // namespace zetra::testing
