// The serial port on the Win32 communications functions: only the modem lines are driven and
// sampled (EscapeCommFunction, GetCommModemStatus), never data bytes.
#pragma once

#include <map>
#include <string>

#include "platform/serial_port.h"

namespace zetra::platform {

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort() = default;
  ~Win32SerialPort() override { close(); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  std::vector<PortInfo> available_ports() const override;
  void set_device(int port_number, const std::string& device) override;
  void select(int port_number) override { port_number_ = port_number; }
  int selected() const override { return port_number_; }
  std::string device_path(int port_number) const override;

  bool open() override;
  void close() override;
  bool is_open() const override { return handle_ != nullptr; }

  bool set_dtr(bool high) override;
  bool set_rts(bool high) override;
  bool set_break(bool on) override;

  bool cts() override;
  bool dsr() override;
  bool cd() override;

 private:
  bool escape(unsigned long function);
  bool status_line(unsigned long mask);

  void* handle_ = nullptr;  // the open port's HANDLE
  int port_number_ = 1;     // 1..4, the COM number chosen in the Setup menu
  std::map<int, std::string> devices_;  // COM numbers mapped to ports the user chose
};

}  // namespace zetra::platform
