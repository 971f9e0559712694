#include "recorder/acquisition/instrument_link.h"

#include <string>

#include "recorder/acquisition/run_state.h"
#include "recorder/window/control_set.h"

namespace zetra {
namespace {

constexpr const char* kLinkButtons[] = {"crec", "czero", "coz", "ccal", "czero2", "coz2", "ccal2"};
// The live readouts: greyed while no link feeds them, so the last values do not pass for live.
constexpr const char* kLiveReadouts[] = {"t2", "t1", "t4", "t22", "t12", "t42"};

}  // namespace

void InstrumentLink::bind() {
  WindowModel& window = context_.window;
  window.on("conoff", [this] { toggle(); });
  for (int n = 1; n <= 4; ++n) {
    const std::string usb = "pusb" + std::to_string(n);
    const std::string com = "pcom" + std::to_string(n);
    window.on(usb, [this, n, usb] {
      context_.state.dev_no = static_cast<uint8_t>(n);
      context_.window.check(usb);
    });
    window.on(com, [this, n, com] {
      context_.platform.serial_port.select(n);
      context_.window.check(com);
    });
  }
}

void InstrumentLink::toggle() {
  if (link_on(context_.window)) {
    disconnect();
  } else {
    connect();
  }
}

void InstrumentLink::connect() {
  connected_over_usb_ = usb_link(context_.window);
  library_failure_.clear();
  const bool opened = connected_over_usb_ ? open_usb() : open_serial();
  if (!opened) {
    // Undo first: a port left open could never be opened again until the program restarts.
    undo_open();
    // A library that could not be loaded says why on a line of its own (wrong bitness, say).
    std::string text = kConnectFailureText;
    if (!library_failure_.empty()) text += "\n" + library_failure_;
    context_.platform.dialogs.message_box(text, kConnectFailureTitle,
                                          platform::MessageIcon::Exclamation,
                                          platform::MessageButtons::Ok);
    return;
  }
  context_.window["Timer1"].enabled = true;
  context_.window["conoff"].caption = "Off";
  set_connected_controls(true);
}

bool InstrumentLink::open_serial() {
  platform::SerialPort& port = context_.platform.serial_port;
  if (!port.open()) return false;
  // Four groups of (RTS, DTR, break) wake the meter's line interface.
  for (bool rts_high : {false, true, false, true}) {
    if (!port.set_rts(rts_high) || !port.set_dtr(!rts_high) || !port.set_break(true)) return false;
  }
  context_.platform.pause.wait_microseconds(kSerialSettleMicroseconds);
  context_.state.delay_i = 200001;
  return port.set_rts(true) && port.set_break(true);
}

bool InstrumentLink::open_usb() {
  platform::DeviceLibrary& library = context_.platform.device_library;
  const uint8_t dev_no = context_.state.dev_no;
  if (!library.load()) {
    library_failure_ = library.load_error();
    return false;
  }
  if (library.open_device(dev_no) == 0) return false;
  device_open_ = true;
  uint8_t config = 0;
  library.usr_config(dev_no, config);
  int32_t word = 3;
  library.write_word(dev_no, 0, word);
  context_.platform.pause.wait_microseconds(kUsbSettleMicroseconds);
  context_.state.delay_i = 10001;
  word = 0;
  library.write_word(dev_no, 0, word);
  return true;
}

void InstrumentLink::undo_open() { release(); }

void InstrumentLink::close_device() {
  if (!device_open_) return;
  context_.platform.device_library.close_device(context_.state.dev_no);
  device_open_ = false;
}

void InstrumentLink::disconnect() {
  context_.window["Timer1"].enabled = false;
  if (connected_over_usb_) {
    close_device();
  } else {
    context_.platform.serial_port.set_break(false);
    context_.platform.serial_port.close();
  }
  context_.window["conoff"].caption = "On";
  set_connected_controls(false);
  // A closed link is not waiting for an answer.
  if (!context_.state.link_notice.empty()) {
    context_.state.link_notice.clear();
    Procedures::call(context_.procedures.show_status_field);
  }
}

void InstrumentLink::set_connected_controls(bool connected) {
  WindowModel& window = context_.window;
  for (const char* name : kLinkButtons) window[name].enabled = connected;
  for (const char* name : kLiveReadouts) window[name].enabled = connected;
  if (connected) window["cre"].enabled = false;
  window["psetup"].enabled = !connected;
}

void InstrumentLink::release() {
  close_device();
  if (context_.platform.serial_port.is_open()) context_.platform.serial_port.close();
}

}  // namespace zetra
