// The serial port as the instrument link uses it: only the modem lines, never data bytes.
#pragma once

#include <string>

namespace zetra::platform {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Chooses port 1..4 for the next open; an open port is not affected until reopened.
  virtual void select(int port_number) = 0;
  virtual int selected() const = 0;
  // The platform's name for port n (COMn on Windows, /dev/ttyS(n-1) on Linux).
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
