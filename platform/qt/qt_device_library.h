// The base unit's device library, loaded with QLibrary from the program's folder on first use.
#pragma once

#include <QLibrary>
#include <cstdint>
#include <string>

#include "platform/loaded_device_library.h"

namespace zetra::platform {

class QtDeviceLibrary final : public LoadedDeviceLibrary {
 public:
  // Loads `path` (without prefix or suffix, as QLibrary takes it); empty means "kvwin32" in the
  // folder of the running program.
  explicit QtDeviceLibrary(std::string path = {});

  bool load() override;
  std::string load_error() const override { return load_error_; }

 private:
  std::string path_;
  QLibrary library_;
  std::string load_error_;  // why the last load failed; a failed load is retried on the next connect
};

}  // namespace zetra::platform
