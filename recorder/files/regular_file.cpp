#include "recorder/files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zetra::files {
namespace {

const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder, not a file";
  if (S_ISFIFO(mode)) return "it is a pipe (FIFO), not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

}  // namespace

FileIdentity identity_of(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, static_cast<uint64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

RegularFile::RegularFile(const std::string& path) {
  struct stat st {};
  // Looked at before it is opened: opening some devices already does something.
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error_ = kind_of(st.st_mode);
    return;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno == ENOENT ? "the file does not exist" : std::strerror(errno);
    return;
  }
  // And again on what was opened, in case the name changed hands in between.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = kind_of(st.st_mode);
    ::close(fd);
    return;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
}

RegularFile::~RegularFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool RegularFile::read_exact(uint8_t* to, size_t size) {
  size_t done = 0;
  while (fd_ >= 0 && done < size) {
    const ssize_t n = ::read(fd_, to + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool RegularFile::read_all(std::vector<uint8_t>& bytes) {
  if (fd_ < 0) return false;
  uint8_t chunk[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
}

}  // namespace zetra::files
