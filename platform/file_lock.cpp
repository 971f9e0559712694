#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"

namespace zetra::platform {

bool FileLock::create_unique(const std::string& folder, const std::string& prefix,
                             const std::string& suffix) {
  release();
  std::string name = join_path(folder, prefix + "XXXXXX" + suffix);
  const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {  // nobody else can know the name yet
    error_ = std::strerror(errno);
    ::close(fd);
    ::unlink(name.c_str());
    return false;
  }
  fd_ = fd;
  path_ = std::move(name);
  error_.clear();
  return true;
}

bool FileLock::try_acquire(const std::string& path) {
  release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error_ = errno == EWOULDBLOCK ? "held by a running program" : std::strerror(errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  error_.clear();
  return true;
}

void FileLock::release(bool remove) {
  if (fd_ < 0) return;
  if (remove) ::unlink(path_.c_str());
  ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

}  // namespace zetra::platform
