// The base unit's device library as a Windows DLL, loaded by its file name on first use from the
// program's folder or the system folder only (never the current folder), functions __stdcall.
#pragma once

#include <cstdint>
#include <string>

#include "platform/device_library.h"

namespace zetra::platform {

class Win32DeviceLibrary final : public DeviceLibrary {
 public:
  // A file name such as L"kvwin32.dll" (or L"kvwin32-demo.dll" for the simulated unit).
  explicit Win32DeviceLibrary(std::wstring file_name = L"kvwin32.dll");
  ~Win32DeviceLibrary() override;
  Win32DeviceLibrary(const Win32DeviceLibrary&) = delete;
  Win32DeviceLibrary& operator=(const Win32DeviceLibrary&) = delete;

  bool load() override;
  std::string load_error() const override { return load_error_; }

  int32_t open_device(uint8_t dev_no) override;
  int32_t close_device(uint8_t dev_no) override;
  int32_t usr_config(uint8_t dev_no, uint8_t& config) override;
  int32_t write_word(uint8_t dev_no, uint8_t address, int32_t& value) override;
  int32_t usr_read(uint8_t dev_no, uint8_t& status) override;
  int32_t read_block(uint8_t dev_no, uint8_t address, uint8_t count, int32_t* words) override;

 private:
  // The six entry points the recorder calls: the standard calling convention of Windows
  // libraries (on x64 the only one), device number first, 32-bit results.
  using DeviceFn = int32_t(__stdcall*)(uint8_t);
  using ByteFn = int32_t(__stdcall*)(uint8_t, uint8_t*);
  using WriteWordFn = int32_t(__stdcall*)(uint8_t, uint8_t, int32_t*);
  using ReadBlockFn = int32_t(__stdcall*)(uint8_t, uint8_t, uint8_t, int32_t*);

  // The reason the file found (program's folder first, then the system folder) cannot be
  // loaded by this program; empty when it may be tried.
  std::string check_file() const;
  std::string missing_function();
  void unload();

  std::wstring file_name_;
  void* module_ = nullptr;   // HMODULE while all six functions are resolved
  std::string load_error_;   // why the last load failed
  DeviceFn open_ = nullptr, close_ = nullptr;
  ByteFn usr_config_ = nullptr, usr_read_ = nullptr;
  WriteWordFn write_word_ = nullptr;
  ReadBlockFn read_block_ = nullptr;
};

}  // namespace zetra::platform
