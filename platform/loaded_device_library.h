// The device library's six entry points once a loader has found them by name, and the calls the
// recorder makes through them. Each system's loader (QLibrary, LoadLibraryExW) derives from it and
// only finds the file and looks the names up.
#pragma once

#include <cstdint>
#include <string>

#include "platform/device_library.h"

// The library's calling convention: the standard one of Windows libraries (on x64 the only one),
// the C one elsewhere.
#if defined(_WIN32)
#define ZETRA_LIBRARY_CALL __stdcall
#else
#define ZETRA_LIBRARY_CALL
#endif

namespace zetra::platform {

class LoadedDeviceLibrary : public DeviceLibrary {
 public:
  // Calls before a good load (or after a failed one) return 0.
  int32_t open_device(uint8_t dev_no) override;
  int32_t close_device(uint8_t dev_no) override;
  int32_t usr_config(uint8_t dev_no, uint8_t& config) override;
  int32_t write_word(uint8_t dev_no, uint8_t address, int32_t& value) override;
  int32_t usr_read(uint8_t dev_no, uint8_t& status) override;
  int32_t read_block(uint8_t dev_no, uint8_t address, uint8_t count, int32_t* words) override;

 protected:
  using Entry = void (*)();  // a looked-up function before it is cast to its own signature
  static constexpr int kEntries = 6;
  static constexpr const char* kNames[kEntries] = {"KV_OpenDevice", "KV_CloseDevice",
                                                   "KV_USRConfig",  "KV_WriteWord",
                                                   "KV_USRRead",    "KV_ReadBlock"};

  // Looks up each of the six names with `find` (null when the library lacks it). Empty when all
  // were found, else the first name missing, and then none is kept.
  template <typename Find>
  std::string resolve(Find find) {
    Entry found[kEntries];
    for (int i = 0; i < kEntries; ++i) {
      found[i] = find(kNames[i]);
      if (found[i] == nullptr) {
        forget();
        return kNames[i];
      }
    }
    take(found);
    return {};
  }
  bool resolved() const { return open_ != nullptr; }
  void forget();

 private:
  using DeviceFn = int32_t(ZETRA_LIBRARY_CALL*)(uint8_t);
  using ByteFn = int32_t(ZETRA_LIBRARY_CALL*)(uint8_t, uint8_t*);
  using WriteWordFn = int32_t(ZETRA_LIBRARY_CALL*)(uint8_t, uint8_t, int32_t*);
  using ReadBlockFn = int32_t(ZETRA_LIBRARY_CALL*)(uint8_t, uint8_t, uint8_t, int32_t*);

  void take(const Entry (&found)[kEntries]);

  DeviceFn open_ = nullptr, close_ = nullptr;
  ByteFn usr_config_ = nullptr, usr_read_ = nullptr;
  WriteWordFn write_word_ = nullptr;
  ReadBlockFn read_block_ = nullptr;
};

}  // namespace zetra::platform
