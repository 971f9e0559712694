// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM holds one value per port whose data is its name ("COM3");
// SetupAPI gives each present port's friendly name and maker.
#include "platform/win32/serial_port_list.h"

#include <windows.h>
#include <setupapi.h>
#include <devguid.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

// COMn sorts by n, before every other name.
bool port_order(const PortInfo& a, const PortInfo& b) {
  const auto number = [](const std::string& name) {
    const bool com = name.size() > 3 && name.compare(0, 3, "COM") == 0 &&
                     name.find_first_not_of("0123456789", 3) == std::string::npos;
    return com ? std::atoi(name.c_str() + 3) : 0;
  };
  const int na = number(a.device), nb = number(b.device);
  if ((na == 0) != (nb == 0)) return na != 0;
  return na != nb ? na < nb : a.device < b.device;
}

std::vector<PortInfo> registry_ports() {
  std::vector<PortInfo> ports;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256], data[256];
    DWORD name_length = 256, data_size = sizeof data, type = 0;
    const LONG result = RegEnumValueW(key, index, name, &name_length, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &data_size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    ports.push_back({to_utf8(std::wstring(data, wcsnlen(data, data_size / sizeof(wchar_t)))), ""});
  }
  RegCloseKey(key);
  return ports;
}

std::string device_text(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t text[512];
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                         reinterpret_cast<BYTE*>(text), sizeof text, nullptr) ||
      type != REG_SZ) {
    return {};
  }
  text[511] = L'\0';
  return to_utf8(text);
}

std::string port_name(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[256];
  DWORD size = sizeof name, type = 0;
  const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                     reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!read || type != REG_SZ) return {};
  return to_utf8(std::wstring(name, wcsnlen(name, size / sizeof(wchar_t))));
}

std::vector<PortInfo> device_manager_ports() {
  std::vector<PortInfo> ports;
  HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    const std::string name = port_name(devices, device);
    if (name.empty()) continue;  // a parallel port of the same class
    std::string description = device_text(devices, device, SPDRP_FRIENDLYNAME);
    if (description.empty()) description = device_text(devices, device, SPDRP_DEVICEDESC);
    const std::string maker = device_text(devices, device, SPDRP_MFG);
    if (!maker.empty() && description.find(maker) == std::string::npos) {
      description += (description.empty() ? "" : ", ") + maker;
    }
    ports.push_back({name, description});
  }
  SetupDiDestroyDeviceInfoList(devices);
  return ports;
}

}  // namespace

std::vector<PortInfo> merge_port_lists(const std::vector<PortInfo>& registry,
                                       const std::vector<PortInfo>& devices) {
  std::map<std::string, std::string> described;
  for (const auto* list : {&registry, &devices}) {
    for (const PortInfo& port : *list) {
      if (port.device.empty()) continue;
      std::string& description = described[port.device];
      if (description.empty()) description = port.description;
    }
  }
  std::vector<PortInfo> merged;
  for (const auto& [device, description] : described) merged.push_back({device, description});
  std::sort(merged.begin(), merged.end(), port_order);
  return merged;
}

std::vector<PortInfo> system_serial_ports() {
  return merge_port_lists(registry_ports(), device_manager_ports());
}

}  // namespace zetra::platform
