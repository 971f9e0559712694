// The serial port as the instrument link uses it: only the modem lines, never data bytes.
#pragma once

#include <string>
#include <vector>

namespace zetra::platform {

// A port the system offers, such as a USB serial adapter.
struct PortInfo {
  std::string device;       // "/dev/ttyUSB0", "COM7"
  std::string description;  // what the system says of it; may be empty
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // The ports the system knows of now; none where the platform cannot tell.
  virtual std::vector<PortInfo> available_ports() const { return {}; }
  // Port n opens `device` from now on instead of the platform's name for it; an empty device
  // gives the platform's name back.
  virtual void set_device(int /*port_number*/, const std::string& /*device*/) {}

  // Chooses port 1..4 for the next open; an open port is not affected until reopened.
  virtual void select(int port_number) = 0;
  virtual int selected() const = 0;
  // The device port n opens: the one set for it, else the platform's name (COMn on Windows,
  // /dev/ttyS(n-1) on Linux).
  virtual std::string device_path(int port_number) const = 0;

  virtual bool open() = 0;
  virtual void close() = 0;
  virtual bool is_open() const = 0;

  // Output lines; false when the port refused the change.
  virtual bool set_dtr(bool high) = 0;
  virtual bool set_rts(bool high) = 0;
  virtual bool set_break(bool on) = 0;

  // Input lines, sampled synchronously at the call.
  virtual bool cts() = 0;
  virtual bool dsr() = 0;
  virtual bool cd() = 0;
};

}  // namespace zetra::platform
