#include "recorder/files/atomic_file.h"

#include <algorithm>
#include <vector>

#include "platform/paths.h"

namespace zetra::files {

using platform::ErrorCode;
using platform::folder_of;

AtomicFile::AtomicFile(std::string path, FaultPlan* faults)
    : path_(std::move(path)), faults_(faults) {}

AtomicFile::~AtomicFile() {
  file_.close();
  if (!committed_ && !temp_path_.empty()) platform::remove_file(temp_path_);
}

bool AtomicFile::fail(const std::string& what, ErrorCode code) {
  if (!error_.empty()) return false;
  error_ = what + ": " + (code != 0 ? platform::error_text(code) : "simulated failure");
  // In place a failure after the first bytes leaves the file holding part of the new content.
  if (in_place_ && written_ > 0) {
    error_ =
        "the folder cannot take a temporary file, so the file was written in place, and "
        "that write failed part way (" +
        error_ + "); it may now hold part of the new content";
  }
  return false;
}

// One input/output step: false when an earlier one failed or the fault plan says this one does.
bool AtomicFile::step(const char* what) {
  if (!error_.empty()) return false;
  if (faults_ != nullptr && faults_->fails()) return fail(what, 0);
  return true;
}

// What is there now: a regular file (whose permissions and owner the new one takes), nothing, or
// something that must not be replaced.
bool AtomicFile::check_target() {
  target_ = platform::resolve_links(path_);
  platform::FileStatus status;
  if (const ErrorCode code = platform::examine(target_, status); code != 0) {
    return fail("cannot examine " + path_, code);
  }
  if (!status.exists()) {
    permissions_ = platform::new_file_permissions(private_);
    return true;
  }
  if (status.kind != platform::FileKind::Regular) {
    error_ = path_ + (status.kind == platform::FileKind::Folder ? " is a folder"
                                                                : " is not a regular file");
    return false;
  }
  exists_ = true;
  status_ = status;
  permissions_ = status.permissions;
  if (platform::write_refused(target_, status)) {
    read_only_ = true;
    error_ = path_ + " is read-only";
    return false;
  }
  return true;
}

bool AtomicFile::open() {
  if (!step("cannot create the new file") || !check_target()) return false;
  remove_stale_temporaries();
  if (exists_ && !platform::replace_allowed(status_, folder_of(target_))) return open_in_place();
  const ErrorCode code = open_temporary();
  if (code == 0) return true;
  if (exists_ && platform::is_access_denied(code)) return open_in_place();
  return fail("cannot create a temporary file in " + folder_of(target_), code);
}

ErrorCode AtomicFile::open_temporary() {
  std::string name;
  const ErrorCode code = file_.create_unique(target_ + kTemporaryMark, "", name);
  if (code != 0) return code;
  file_.try_lock();  // marks it as in use for another program's stale sweep
  temp_path_ = std::move(name);
  return 0;
}

bool AtomicFile::open_in_place() {
  if (const ErrorCode code = file_.open_existing_for_writing(target_); code != 0) {
    return fail("cannot open " + path_ + " for writing", code);
  }
  in_place_ = true;
  return true;
}

bool AtomicFile::write(const uint8_t* data, size_t size) {
  if (!step("cannot write") || !file_.is_open()) return false;
  if (in_place_) return write_in_place(data, size);
  content_ += size;
  if (const ErrorCode code = file_.write_all(data, size, written_); code != 0) {
    return fail("cannot write", code);
  }
  return true;
}

bool AtomicFile::reserve(uint64_t bytes) {
  if (!step("cannot reserve room") || !file_.is_open()) return false;
  if (!in_place_) return true;  // a temporary that runs out of room costs nothing
  if (const ErrorCode code = file_.reserve(0, bytes); code != 0) {
    return fail("there is no room for the new content", code);
  }
  return true;
}

// The held-back head is kept; what follows it goes to its place in the file.
bool AtomicFile::write_in_place(const uint8_t* data, size_t size) {
  const size_t to_head = content_ < hold_back_
                             ? std::min(size, static_cast<size_t>(hold_back_ - content_))
                             : 0;
  head_.insert(head_.end(), data, data + to_head);
  content_ += to_head;
  if (to_head == size) return true;
  if (content_ == hold_back_ && hold_back_ > 0 && written_ == 0) {
    if (const ErrorCode code = file_.seek(hold_back_); code != 0) return fail("cannot write", code);
  }
  content_ += size - to_head;
  if (const ErrorCode code = file_.write_all(data + to_head, size - to_head, written_); code != 0) {
    return fail("cannot write", code);
  }
  return true;
}

bool AtomicFile::carry_over_from(uint64_t offset) {
  if (!error_.empty() || !file_.is_open()) return false;
  keep_tail_ = true;
  if (in_place_ || !exists_) return true;  // in place the old bytes are still there
  return carry_over_in_temporary(offset);
}

bool AtomicFile::carry_over_in_temporary(uint64_t offset) {
  platform::File old;
  platform::FileKind kind = platform::FileKind::None;
  ErrorCode code = old.open_regular_for_reading(target_, kind);
  if (code == 0 && !old.is_open()) return fail("cannot read the old file", 0);
  if (code == 0) code = old.seek(offset);
  if (code != 0) return fail("cannot read the old file", code);
  std::vector<uint8_t> chunk(1 << 16);
  while (true) {
    size_t got = 0;
    if (const ErrorCode read = old.read(chunk.data(), chunk.size(), got); read != 0) {
      return fail("cannot read the old file", read);
    }
    if (got == 0) return error_.empty();
    if (!write(chunk.data(), got)) return false;
  }
}

bool AtomicFile::commit() {
  if (!file_.is_open()) return false;
  const bool flushing = step("cannot flush");
  if (in_place_) return commit_in_place();
  return flushing && commit_temporary();
}

bool AtomicFile::commit_temporary() {
  // The old file's permissions, and its owner and group where this user may set them.
  if (const ErrorCode code = file_.set_permissions(permissions_, exists_); code != 0) {
    return fail("cannot set the permissions", code);
  }
  if (const ErrorCode code = file_.flush_to_disk(); code != 0) {
    return fail("cannot flush to disk", code);
  }
  if (const ErrorCode code = file_.close(); code != 0) return fail("cannot close", code);
  if (!step("cannot replace the old file")) return false;
  if (const ErrorCode code = platform::replace_file(temp_path_, target_); code != 0) {
    return fail("cannot replace the old file", code);
  }
  committed_ = true;
  if (const ErrorCode code = platform::flush_folder(folder_of(target_)); code != 0) {
    return fail("cannot flush the folder", code);
  }
  return true;
}

// The rest of the content on disk first, then the held-back head, then the end of the file.
bool AtomicFile::commit_in_place() {
  bool ok = error_.empty();
  if (ok && !head_.empty()) {
    ErrorCode code = file_.flush_data_to_disk();
    if (code != 0) {
      ok = fail("cannot flush to disk", code);
    } else if (!step("cannot write") || (code = file_.seek(0)) != 0 ||
               (code = file_.write_all(head_.data(), head_.size(), written_)) != 0) {
      ok = code != 0 ? fail("cannot write", code) : false;
    }
  }
  if (ok && !keep_tail_) {
    if (const ErrorCode code = file_.truncate(content_); code != 0) {
      ok = fail("cannot shorten the file", code);
    }
  }
  if (ok) {
    if (const ErrorCode code = file_.flush_to_disk(); code != 0) ok = fail("cannot flush to disk", code);
  }
  file_.close();
  committed_ = ok;
  return ok;
}

// Temporaries of ours for this file that a killed save left behind. One another program is still
// writing holds its lock and stays.
void AtomicFile::remove_stale_temporaries() const {
  const std::string folder = folder_of(target_);
  const std::string prefix = platform::name_of(target_) + kTemporaryMark;
  std::vector<std::string> names;
  if (platform::list_folder(folder, names) != 0) return;
  for (const std::string& name : names) {
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = platform::join_path(folder, name);
    platform::File file;
    // A link or something else we did not make is left alone.
    if (file.open_no_follow(path) != 0) continue;
    platform::FileStatus status;
    if (file.examine(status) == 0 && platform::is_own_regular_file(status) && file.try_lock()) {
      platform::remove_file(path);
    }
  }
}

}  // namespace zetra::files
