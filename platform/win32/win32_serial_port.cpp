// COMn opens as \\.\COMn (the only form that reaches COM10 and above); speed and framing are left
// as the port has them, and the lines are taken out of any handshake so that we may set them.
#include "platform/win32/win32_serial_port.h"

#include <windows.h>

#include "platform/win32/serial_port_list.h"
#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

// DTR and RTS under handshake or toggle control refuse EscapeCommFunction: give them to us.
void take_modem_lines(HANDLE port) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return;
  const bool handshake = dcb.fDtrControl == DTR_CONTROL_HANDSHAKE ||
                         dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ||
                         dcb.fRtsControl == RTS_CONTROL_TOGGLE;
  if (!handshake) return;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  SetCommState(port, &dcb);
}

}  // namespace

std::vector<PortInfo> Win32SerialPort::available_ports() const { return system_serial_ports(); }

void Win32SerialPort::set_device(int port_number, const std::string& device) {
  if (device.empty()) {
    devices_.erase(port_number);
  } else {
    devices_[port_number] = device;
  }
}

std::string Win32SerialPort::device_path(int port_number) const {
  const auto mapped = devices_.find(port_number);
  if (mapped != devices_.end()) return mapped->second;
  return "COM" + std::to_string(port_number);
}

bool Win32SerialPort::open() {
  close();
  std::wstring name = to_utf16(device_path(port_number_));
  if (name.rfind(L"\\\\.\\", 0) != 0) name = L"\\\\.\\" + name;
  HANDLE port = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return false;
  take_modem_lines(port);
  handle_ = port;
  return true;
}

void Win32SerialPort::close() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool Win32SerialPort::escape(unsigned long function) {
  return handle_ != nullptr && EscapeCommFunction(static_cast<HANDLE>(handle_), function) != 0;
}

bool Win32SerialPort::set_dtr(bool high) { return escape(high ? SETDTR : CLRDTR); }
bool Win32SerialPort::set_rts(bool high) { return escape(high ? SETRTS : CLRRTS); }
bool Win32SerialPort::set_break(bool on) { return escape(on ? SETBREAK : CLRBREAK); }

bool Win32SerialPort::status_line(unsigned long mask) {
  DWORD status = 0;
  return handle_ != nullptr && GetCommModemStatus(static_cast<HANDLE>(handle_), &status) != 0 &&
         (status & mask) != 0;
}

bool Win32SerialPort::cts() { return status_line(MS_CTS_ON); }
bool Win32SerialPort::dsr() { return status_line(MS_DSR_ON); }
bool Win32SerialPort::cd() { return status_line(MS_RLSD_ON); }

}  // namespace zetra::platform
