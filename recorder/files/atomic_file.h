// The one way the recorder writes a file (recording, settings, journal) so that a failure never
// costs the previous one. The new content goes to a temporary of a unique name in the target's
// folder, created exclusively (a planted link of that name is never followed), is flushed to
// disk, takes the old file's permissions and owner, and only then replaces the old file; the
// folder is flushed after the rename. A symbolic link is followed: its target is replaced and the
// link stays. A target without write permission is refused. When the folder cannot take a
// temporary but the file itself is writable, the new content is written in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zetra::files {

// Test seam: every input/output step asks it first; the step numbered fail_at fails.
struct FaultPlan {
  int fail_at = -1;
  int steps = 0;
  bool fails() { return steps++ == fail_at; }
};

// Temporaries are named "<file name>.saving-XXXXXX" beside the file.
inline constexpr const char* kTemporaryMark = ".saving-";


class AtomicFile {
 public:
  // `faults` may be null (no injected failures).
  AtomicFile(std::string path, FaultPlan* faults = nullptr);
  ~AtomicFile();  // an uncommitted temporary is removed; the old file stays as it was
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // A new file readable and writable by this user alone (the journal: a recording is private
  // data), instead of what the user's mask allows. Before open().
  void keep_private() { private_ = true; }

  // Written in place, the first `bytes` of the content (a recording's first record, which holds
  // its sample counter) go to the file last, after the rest is on disk, so that the file opens at
  // any point of a failure. Before open().
  void hold_back_first(size_t bytes) { hold_back_ = bytes; }

  // Each returns false once anything has failed; error() then says why.
  bool open();
  // Makes sure the disk has room for `bytes` of content before any is written in place: a disk
  // without that room fails here, with the old file untouched.
  bool reserve(uint64_t bytes);
  bool write(const uint8_t* data, size_t size);
  // The old file's bytes from `offset` to its end are kept after the new ones. Without this call
  // the file ends where the new content ends.
  bool carry_over_from(uint64_t offset);
  bool commit();

  const std::string& error() const { return error_; }
  // The target cannot be written by this user (or has no write permission at all).
  bool read_only() const { return read_only_; }
  // The content went to the file itself because its folder cannot take a temporary.
  bool in_place() const { return in_place_; }
  const std::string& temp_path() const { return temp_path_; }
  const std::string& target() const { return target_; }

 private:
  bool fail(const std::string& what, platform::ErrorCode code);
  bool step(const char* what);
  bool check_target();
  platform::ErrorCode open_temporary();
  bool open_in_place();
  bool write_all(const uint8_t* data, size_t size);
  bool carry_over_in_temporary(uint64_t offset);
  bool commit_temporary();
  bool commit_in_place();
  bool write_in_place(const uint8_t* data, size_t size);
  void remove_stale_temporaries() const;

  std::string path_, target_, temp_path_, error_;
  FaultPlan* faults_;
  platform::File file_;
  bool exists_ = false, read_only_ = false, in_place_ = false, keep_tail_ = false;
  bool committed_ = false, private_ = false;
  uint64_t written_ = 0;   // bytes that reached the file
  uint64_t content_ = 0;   // bytes of new content handed in
  size_t hold_back_ = 0;
  std::vector<uint8_t> head_;  // the held-back first bytes
  platform::Permissions permissions_;
  platform::FileStatus status_;  // of the target, when it exists
};

}  // namespace zetra::files
