// Writing a file so that a failure never costs the previous one: the new content goes to a file
// beside it, is flushed to disk, and only then replaces the old file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zetra::files {

// Test seam: every input/output step asks it first; the step numbered fail_at fails.
struct FaultPlan {
  int fail_at = -1;
  int steps = 0;
  bool fails() { return steps++ == fail_at; }
};

class AtomicFile {
 public:
  // `faults` may be null (no injected failures).
  AtomicFile(std::string path, FaultPlan* faults = nullptr);
  ~AtomicFile();  // an uncommitted file is removed; the old one stays as it was
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Each returns false once anything has failed; error() then says why.
  bool open();
  bool write(const uint8_t* data, size_t size);
  // Appends the old file's bytes from `offset` to its end, if the old file is that long.
  bool carry_over_from(uint64_t offset);
  bool commit();

  const std::string& error() const { return error_; }
  const std::string& temp_path() const { return temp_path_; }

 private:
  bool fail(const std::string& what, int code);
  bool step(const char* what);

  std::string path_, temp_path_, error_;
  FaultPlan* faults_;
  std::FILE* file_ = nullptr;
  bool committed_ = false;
};

}  // namespace zetra::files
