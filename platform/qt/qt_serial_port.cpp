// COMn is the platform's n-th port name; the port is opened without touching speed or framing.
#include "platform/qt/qt_serial_port.h"

#include <QSerialPortInfo>
#include <string>

namespace zetra::platform {

void QtSerialPort::select(int port_number) { port_number_ = port_number; }

std::vector<PortInfo> QtSerialPort::available_ports() const {
  std::vector<PortInfo> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    QString description = info.description();
    if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer())) {
      description += (description.isEmpty() ? "" : ", ") + info.manufacturer();
    }
    ports.push_back({info.systemLocation().toStdString(), description.toStdString()});
  }
  return ports;
}

void QtSerialPort::set_device(int port_number, const std::string& device) {
  if (device.empty()) {
    devices_.erase(port_number);
  } else {
    devices_[port_number] = device;
  }
}

std::string QtSerialPort::device_path(int port_number) const {
  const auto mapped = devices_.find(port_number);
  if (mapped != devices_.end()) return mapped->second;
#ifdef _WIN32
  return "COM" + std::to_string(port_number);
#else
  return "/dev/ttyS" + std::to_string(port_number - 1);
#endif
}

bool QtSerialPort::open() {
  if (port_.isOpen()) port_.close();
  port_.setPortName(QString::fromStdString(device_path(port_number_)));
  // After a successful open errorString() still reads "Unknown error"; error() is what counts.
  if (!port_.open(QIODevice::ReadWrite)) return false;
  if (port_.error() != QSerialPort::NoError) {
    port_.close();
    return false;
  }
  return true;
}

void QtSerialPort::close() {
  if (port_.isOpen()) port_.close();
}

bool QtSerialPort::set_dtr(bool high) { return port_.isOpen() && port_.setDataTerminalReady(high); }

bool QtSerialPort::set_rts(bool high) { return port_.isOpen() && port_.setRequestToSend(high); }

bool QtSerialPort::set_break(bool on) { return port_.isOpen() && port_.setBreakEnabled(on); }

bool QtSerialPort::input_line(QSerialPort::PinoutSignal line) {
  return port_.isOpen() && (port_.pinoutSignals() & line) != 0;
}

bool QtSerialPort::cts() { return input_line(QSerialPort::ClearToSendSignal); }
bool QtSerialPort::dsr() { return input_line(QSerialPort::DataSetReadySignal); }
bool QtSerialPort::cd() { return input_line(QSerialPort::DataCarrierDetectSignal); }

}  // namespace zetra::platform
