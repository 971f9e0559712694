// What every subsystem's handlers work with: the state, the window, the shared procedures and the
// outside world. Handed to each subsystem when the recorder is put together.
#pragma once

#include <string>

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/device_library.h"
#include "platform/dialogs.h"
#include "platform/pause.h"
#include "platform/printer.h"
#include "platform/serial_port.h"
#include "platform/window_frame.h"
#include "recorder/state/recorder_state.h"
#include "recorder/window/procedures.h"
#include "recorder/window/window_model.h"

namespace zetra {

// The outside world as the recorder reaches it; tests hand in fakes.
struct Platform {
  platform::SerialPort& serial_port;
  platform::DeviceLibrary& device_library;
  platform::Dialogs& dialogs;
  platform::Pause& pause;
  platform::Clipboard& clipboard;
  std::string program_folder;
  platform::Printer* printer = nullptr;    // none: printing reports that no printer is usable
  platform::WindowFrame* frame = nullptr;  // none: no geometry to keep, exit ends nothing
  // Where the settings file, file1.ztr and the recovery journal go; empty: the program folder.
  // The program chooses the user's data folder here when its own folder is not writable.
  std::string data_folder;
  platform::Clock* clock = nullptr;  // none: the system's local time
};

inline const platform::Clock& clock_of(const Platform& platform) {
  return platform.clock != nullptr ? *platform.clock : platform::system_clock();
}

// The folder of the settings file, the default recording and the recovery journal.
inline const std::string& data_folder(const Platform& platform) {
  return platform.data_folder.empty() ? platform.program_folder : platform.data_folder;
}

struct RecorderContext {
  RecorderState& state;
  WindowModel& window;
  Procedures& procedures;
  Platform& platform;
};

}  // namespace zetra
