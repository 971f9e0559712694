#include "recorder/files/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace zetra::files {

AtomicFile::AtomicFile(std::string path, FaultPlan* faults)
    : path_(std::move(path)), temp_path_(path_ + ".saving"), faults_(faults) {}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!committed_) {
    std::error_code ignored;
    std::filesystem::remove(temp_path_, ignored);
  }
}

bool AtomicFile::fail(const std::string& what, int code) {
  if (error_.empty()) error_ = what + ": " + (code != 0 ? std::strerror(code) : "simulated failure");
  return false;
}

// One input/output step: false when an earlier one failed or the fault plan says this one does.
bool AtomicFile::step(const char* what) {
  if (!error_.empty()) return false;
  if (faults_ != nullptr && faults_->fails()) return fail(what, 0);
  return true;
}

bool AtomicFile::open() {
  if (!step("cannot create the new file")) return false;
  file_ = std::fopen(temp_path_.c_str(), "wb");
  if (file_ == nullptr) return fail("cannot create " + temp_path_, errno);
  return true;
}

bool AtomicFile::write(const uint8_t* data, size_t size) {
  if (!step("cannot write") || file_ == nullptr) return false;
  if (std::fwrite(data, 1, size, file_) != size) return fail("cannot write", errno);
  return true;
}

bool AtomicFile::carry_over_from(uint64_t offset) {
  std::FILE* old = std::fopen(path_.c_str(), "rb");
  if (old == nullptr) return error_.empty();  // no old file: nothing to keep
  bool ok = std::fseek(old, static_cast<long>(offset), SEEK_SET) == 0;
  std::vector<uint8_t> chunk(1 << 16);
  while (ok) {
    const size_t n = std::fread(chunk.data(), 1, chunk.size(), old);
    if (n == 0) {
      if (std::ferror(old)) ok = fail("cannot read the old file", errno);
      break;
    }
    ok = write(chunk.data(), n);
  }
  std::fclose(old);
  return ok && error_.empty();
}

bool AtomicFile::commit() {
  if (!step("cannot flush") || file_ == nullptr) return false;
  if (std::fflush(file_) != 0) return fail("cannot flush", errno);
#if defined(__unix__) || defined(__APPLE__)
  if (::fsync(fileno(file_)) != 0) return fail("cannot flush to disk", errno);
#endif
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) return fail("cannot close", errno);
  if (!step("cannot replace the old file")) return false;
  std::error_code ec;
  std::filesystem::rename(temp_path_, path_, ec);
  if (ec) return fail("cannot replace the old file", ec.value());
  committed_ = true;
  return true;
}

}  // namespace zetra::files
