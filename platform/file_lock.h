// An advisory lock held on a small file for as long as a program runs, so that two programs
// working in one folder can tell which of its files belong to a program that is still alive.
// The lock goes with the process: a program that is killed releases it at once.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace zetra::platform {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Creates a new lock file "<folder>/<prefix><unique><suffix>" and locks it; false (with
  // error()) when it cannot. path() then names it.
  bool create_unique(const std::string& folder, const std::string& prefix,
                     const std::string& suffix);
  // Locks the file at `path` (created when missing) without waiting; false when another
  // program holds it or it cannot be opened.
  bool try_acquire(const std::string& path);
  // Unlocks; with remove, deletes the lock file first (while still holding it).
  void release(bool remove = false);

  bool held() const { return file_.is_open(); }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

 private:
  File file_;
  std::string path_, error_;
};

}  // namespace zetra::platform
