// The base unit's device library as a Windows DLL, loaded by its file name on first use from the
// program's folder or the system folder only (never the current folder), functions __stdcall.
#pragma once

#include <cstdint>
#include <string>

#include "platform/loaded_device_library.h"

namespace zetra::platform {

class Win32DeviceLibrary final : public LoadedDeviceLibrary {
 public:
  // A file name such as L"kvwin32.dll" (or L"kvwin32-demo.dll" for the simulated unit).
  explicit Win32DeviceLibrary(std::wstring file_name = L"kvwin32.dll");
  ~Win32DeviceLibrary() override;
  Win32DeviceLibrary(const Win32DeviceLibrary&) = delete;
  Win32DeviceLibrary& operator=(const Win32DeviceLibrary&) = delete;

  bool load() override;
  std::string load_error() const override { return load_error_; }

 private:
  // The reason the file found (program's folder first, then the system folder) cannot be
  // loaded by this program; empty when it may be tried.
  std::string check_file() const;
  void unload();

  std::wstring file_name_;
  void* module_ = nullptr;   // HMODULE while all six functions are resolved
  std::string load_error_;   // why the last load failed
};

}  // namespace zetra::platform
