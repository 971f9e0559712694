// Opening a file to read it only when it is a regular file: a FIFO, a device or a folder of that
// name is refused before anything is read, and the open itself never waits (a FIFO without a
// writer would otherwise hold the window forever).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zetra::files {

// What tells a file's versions apart cheaply: whether it is there, its size and when it was last
// changed (nanoseconds).
struct FileIdentity {
  bool exists = false;
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity identity_of(const std::string& path);

// A file open for reading (closed by the destructor), or not open with error() saying why.
class RegularFile {
 public:
  explicit RegularFile(const std::string& path);

  bool is_open() const { return file_.is_open(); }
  platform::File& file() { return file_; }
  uint64_t size() const { return size_; }
  const std::string& error() const { return error_; }

  // Reads exactly `size` bytes; false at the end of the file or on an error.
  bool read_exact(uint8_t* to, size_t size);
  // Reads all that is left (the file's whole content when nothing was read yet).
  bool read_all(std::vector<uint8_t>& bytes);

 private:
  platform::File file_;
  uint64_t size_ = 0;
  std::string error_;
};

}  // namespace zetra::files
