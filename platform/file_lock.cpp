#include "platform/file_lock.h"

#include "platform/paths.h"

namespace zetra::platform {

bool FileLock::create_unique(const std::string& folder, const std::string& prefix,
                             const std::string& suffix) {
  release();
  std::string name;
  if (const ErrorCode code = file_.create_unique(join_path(folder, prefix), suffix, name);
      code != 0) {
    error_ = error_text(code);
    return false;
  }
  if (!file_.try_lock()) {  // nobody else can know the name yet
    error_ = "cannot lock " + name;
    file_.close();
    remove_file(name);
    return false;
  }
  path_ = std::move(name);
  error_.clear();
  return true;
}

bool FileLock::try_acquire(const std::string& path) {
  release();
  if (const ErrorCode code = file_.open_lock_file(path); code != 0) {
    error_ = error_text(code);
    return false;
  }
  if (!file_.try_lock()) {
    error_ = "held by a running program";
    file_.close();
    return false;
  }
  path_ = path;
  error_.clear();
  return true;
}

void FileLock::release(bool remove) {
  if (!file_.is_open()) return;
  if (remove) remove_file(path_);
  file_.close();  // closing the file drops the lock
}

}  // namespace zetra::platform
