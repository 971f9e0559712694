// The run states the window shows in captions and check marks, read back the same way.
#pragma once

#include "recorder/window/window_model.h"

namespace zetra {

inline bool link_on(const WindowModel& window) { return window["conoff"].caption == "Off"; }
inline bool recording(const WindowModel& window) { return window["crec"].caption == "Stop"; }
inline bool exam_mode(const WindowModel& window) { return window["cre"].caption == "norm"; }

// The link goes through the device library when any USB item is checked, else the serial port.
inline bool usb_link(const WindowModel& window) {
  for (const char* item : {"pusb1", "pusb2", "pusb3", "pusb4"}) {
    if (window[item].checked) return true;
  }
  return false;
}

}  // namespace zetra
