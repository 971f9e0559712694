#include "recorder/files/regular_file.h"

namespace zetra::files {
namespace {

using platform::FileKind;

const char* kind_text(FileKind kind) {
  switch (kind) {
    case FileKind::Folder: return "it is a folder, not a file";
    case FileKind::Fifo: return "it is a pipe (FIFO), not a regular file";
    case FileKind::Device: return "it is a device, not a regular file";
    case FileKind::Socket: return "it is a socket, not a regular file";
    default: return "it is not a regular file";
  }
}

}  // namespace

FileIdentity identity_of(const std::string& path) {
  platform::FileStatus status;
  if (platform::examine(path, status) != 0 || !status.exists()) return {};
  return {true, status.size, status.mtime_ns};
}

RegularFile::RegularFile(const std::string& path) {
  FileKind kind = FileKind::None;
  if (const platform::ErrorCode code = file_.open_regular_for_reading(path, kind); code != 0) {
    error_ = platform::is_not_found(code) ? "the file does not exist" : platform::error_text(code);
    return;
  }
  if (!file_.is_open()) {
    error_ = kind_text(kind);
    return;
  }
  if (file_.size(size_) != 0) size_ = 0;
}

bool RegularFile::read_exact(uint8_t* to, size_t size) {
  size_t done = 0;
  while (file_.is_open() && done < size) {
    size_t got = 0;
    if (file_.read(to + done, size - done, got) != 0 || got == 0) return false;
    done += got;
  }
  return file_.is_open();
}

bool RegularFile::read_all(std::vector<uint8_t>& bytes) {
  if (!file_.is_open()) return false;
  uint8_t chunk[1 << 16];
  while (true) {
    size_t got = 0;
    if (file_.read(chunk, sizeof chunk, got) != 0) return false;
    if (got == 0) return true;
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

}  // namespace zetra::files
