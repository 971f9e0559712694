// Connecting to and disconnecting from the meter (conoff), and the choice of link in the
// COM Port menu (pusb1..pusb4, pcom1..pcom4).
#pragma once

#include <string>

#include "recorder/window/recorder_context.h"

namespace zetra {

inline constexpr const char* kConnectFailureText =
    "COM port selection mistake or communication problem. Please check Setup then try again.";
inline constexpr const char* kConnectFailureTitle = "ON/OFF Zetra";

// Pauses between the connect steps (the meter needs a moment after its line groups).
inline constexpr int kSerialSettleMicroseconds = 5000;
inline constexpr int kUsbSettleMicroseconds = 1000;

class InstrumentLink {
 public:
  explicit InstrumentLink(RecorderContext& context) : context_(context) {}

  void bind();
  // conoff: connects while it reads "On", disconnects while it reads "Off".
  void toggle();
  // Closes whatever is open (the serial port, the device) without touching the window.
  void release();

 private:
  void connect();
  void disconnect();
  bool open_serial();
  bool open_usb();
  void undo_open();
  void close_device();
  void set_connected_controls(bool connected);

  RecorderContext& context_;
  bool connected_over_usb_ = false;  // the transport in use while the link is on
  bool device_open_ = false;         // KV_OpenDevice succeeded and no close followed
  std::string library_failure_;      // why the device library did not load, for the message
};

}  // namespace zetra
