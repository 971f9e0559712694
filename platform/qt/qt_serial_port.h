// The serial port on QSerialPort: only the modem lines are driven and sampled, never data bytes.
#pragma once

#include <QSerialPort>
#include <map>
#include <string>

#include "platform/serial_port.h"

namespace zetra::platform {

class QtSerialPort final : public SerialPort {
 public:
  std::vector<PortInfo> available_ports() const override;
  void set_device(int port_number, const std::string& device) override;
  void select(int port_number) override;
  int selected() const override { return port_number_; }
  std::string device_path(int port_number) const override;

  bool open() override;
  void close() override;
  bool is_open() const override { return port_.isOpen(); }

  bool set_dtr(bool high) override;
  bool set_rts(bool high) override;
  bool set_break(bool on) override;

  bool cts() override;
  bool dsr() override;
  bool cd() override;

 private:
  bool input_line(QSerialPort::PinoutSignal line);

  QSerialPort port_;
  int port_number_ = 1;  // 1..4, the COM number chosen in the Setup menu
  std::map<int, std::string> devices_;  // COM numbers mapped to devices the user chose
};

}  // namespace zetra::platform
