// The file layer on Linux (POSIX calls): descriptors opened close-on-exec, links never followed
// where a name could have been planted, scattered reads with one preadv per batch.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"

namespace zetra::platform {
namespace {

int fd_of(intptr_t handle) { return static_cast<int>(handle); }

FileKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Folder;
  if (S_ISLNK(mode)) return FileKind::Link;
  if (S_ISFIFO(mode)) return FileKind::Fifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
  if (S_ISSOCK(mode)) return FileKind::Socket;
  return FileKind::Other;
}

void fill(const struct stat& st, FileStatus& status) {
  status.kind = kind_of(st.st_mode);
  status.size = static_cast<uint64_t>(st.st_size);
  status.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  status.device = static_cast<uint64_t>(st.st_dev);
  status.index = static_cast<uint64_t>(st.st_ino);
  status.permissions.mode = st.st_mode & 07777;
  status.permissions.owner = static_cast<long>(st.st_uid);
  status.permissions.group = static_cast<long>(st.st_gid);
}

ErrorCode examine_with(int (*call)(const char*, struct stat*), const std::string& path,
                       FileStatus& status) {
  status = FileStatus{};
  struct stat st {};
  if (call(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  fill(st, status);
  return 0;
}

int open_retrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

std::string error_text(ErrorCode code) { return std::strerror(code); }
bool is_not_found(ErrorCode code) { return code == ENOENT; }
bool is_access_denied(ErrorCode code) { return code == EACCES || code == EPERM; }
ErrorCode no_space_error() { return ENOSPC; }

ErrorCode examine(const std::string& path, FileStatus& status) {
  return examine_with(::stat, path, status);
}

ErrorCode examine_link(const std::string& path, FileStatus& status) {
  return examine_with(::lstat, path, status);
}

std::string resolve_links(const std::string& path) {
  std::string at = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<size_t>(n) >= target.size()) return at;
    target.resize(static_cast<size_t>(n));
    at = target.front() == '/' ? target : folder_of(at) + "/" + target;
  }
  return at;  // a loop of links: opening it fails with the system's reason
}

bool write_refused(const std::string& path, const FileStatus& status) {
  // A file without any write permission was protected on purpose, even from the superuser.
  return (status.permissions.mode & 0222) == 0 ||
         (::access(path.c_str(), W_OK) != 0 && errno != ENOENT);
}

bool is_own_regular_file(const FileStatus& status) {
  return status.kind == FileKind::Regular &&
         static_cast<uid_t>(status.permissions.owner) == ::geteuid();
}

bool replace_allowed(const FileStatus& status, const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || (st.st_mode & S_ISVTX) == 0) return true;
  const uid_t me = ::geteuid();
  return me == 0 || me == static_cast<uid_t>(status.permissions.owner) || me == st.st_uid;
}

Permissions new_file_permissions(bool private_file) {
  Permissions p;
  if (private_file) {
    p.mode = 0600;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    p.mode = 0666u & ~static_cast<unsigned>(mask);
  }
  return p;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

ErrorCode File::close() {
  if (handle_ == kNoHandle) return 0;
  const int closed = ::close(fd_of(handle_));  // closing the last descriptor also drops a lock
  handle_ = kNoHandle;
  return closed != 0 ? errno : 0;
}

ErrorCode File::open_regular_for_reading(const std::string& path, FileKind& kind) {
  close();
  struct stat st {};
  // Looked at before it is opened: opening some devices already does something.
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    kind = kind_of(st.st_mode);
    return 0;
  }
  const int fd = open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return errno;
  // And again on what was opened, in case the name changed hands in between.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    kind = kind_of(st.st_mode);
    ::close(fd);
    return 0;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  kind = FileKind::Regular;
  handle_ = fd;
  return 0;
}

ErrorCode File::open_existing_for_writing(const std::string& path) {
  close();
  const int fd = open_retrying(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

ErrorCode File::open_no_follow(const std::string& path) {
  close();
  const int fd = open_retrying(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

ErrorCode File::open_for_appending(const std::string& path) {
  close();
  const int fd = open_retrying(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

ErrorCode File::open_lock_file(const std::string& path) {
  close();
  const int fd = open_retrying(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

ErrorCode File::create_unique(const std::string& stem, const std::string& suffix,
                              std::string& path) {
  close();
  std::string name = stem + "XXXXXX" + suffix;
  // O_CREAT | O_EXCL with mode 0600: never an existing name or link.
  const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return errno;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  handle_ = fd;
  path = std::move(name);
  return 0;
}

ErrorCode File::read(uint8_t* to, size_t size, size_t& got) {
  got = 0;
  while (true) {
    const ssize_t n = ::read(fd_of(handle_), to, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    got = static_cast<size_t>(n);
    return 0;
  }
}

ErrorCode File::read_at(uint8_t* to, size_t size, uint64_t offset, bool* short_read) {
  if (short_read != nullptr) *short_read = false;
  while (size > 0) {
    const ssize_t n = ::pread(fd_of(handle_), to, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) {
      if (short_read != nullptr) *short_read = true;
      return EIO;
    }
    to += n, size -= static_cast<size_t>(n), offset += static_cast<uint64_t>(n);
  }
  return 0;
}

ErrorCode File::read_pieces_at(const ReadPiece* pieces, size_t count, uint64_t offset) {
  // One preadv per batch within the kernel's limit of pieces a call; the pieces land straight in
  // their places.
  constexpr size_t kMaxPieces = 1024;
  iovec vectors[kMaxPieces];
  for (size_t first = 0; first < count; first += kMaxPieces) {
    const size_t n = std::min(kMaxPieces, count - first);
    size_t bytes = 0;
    for (size_t i = 0; i < n; ++i) {
      vectors[i] = {pieces[first + i].to, pieces[first + i].bytes};
      bytes += pieces[first + i].bytes;
    }
    const ssize_t got =
        ::preadv(fd_of(handle_), vectors, static_cast<int>(n), static_cast<off_t>(offset));
    if (got < 0) return errno;
    if (static_cast<size_t>(got) != bytes) return EIO;
    offset += bytes;
  }
  return 0;
}

ErrorCode File::write_all(const uint8_t* data, size_t size, uint64_t& written) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_of(handle_), data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
    written += static_cast<uint64_t>(n);
  }
  return 0;
}

ErrorCode File::seek(uint64_t offset) {
  return ::lseek(fd_of(handle_), static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
}

ErrorCode File::size(uint64_t& size) const {
  struct stat st {};
  if (::fstat(fd_of(handle_), &st) != 0) return errno;
  size = static_cast<uint64_t>(st.st_size);
  return 0;
}

ErrorCode File::examine(FileStatus& status) const {
  struct stat st {};
  if (::fstat(fd_of(handle_), &st) != 0) return errno;
  fill(st, status);
  return 0;
}

ErrorCode File::truncate(uint64_t size) {
  return ::ftruncate(fd_of(handle_), static_cast<off_t>(size)) != 0 ? errno : 0;
}

ErrorCode File::reserve(uint64_t offset, uint64_t size) {
  if (size == 0) return 0;
  const int code = ::posix_fallocate(fd_of(handle_), static_cast<off_t>(offset),
                                     static_cast<off_t>(size));
  // A file system that cannot reserve ahead reports it; the writes then find out themselves.
  return code == EOPNOTSUPP || code == EINVAL ? 0 : code;
}

ErrorCode File::flush_to_disk() { return ::fsync(fd_of(handle_)) != 0 ? errno : 0; }

ErrorCode File::flush_data_to_disk() { return ::fdatasync(fd_of(handle_)) != 0 ? errno : 0; }

ErrorCode File::set_permissions(const Permissions& p, bool with_owner) {
  const int fd = fd_of(handle_);
  if (::fchmod(fd, static_cast<mode_t>(p.mode)) != 0) return errno;
  // The owner only where this user may set it; else the group alone, else neither.
  if (with_owner && ::fchown(fd, static_cast<uid_t>(p.owner), static_cast<gid_t>(p.group)) != 0) {
    ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(p.group));
  }
  return 0;
}

bool File::try_lock() { return ::flock(fd_of(handle_), LOCK_EX | LOCK_NB) == 0; }

ErrorCode replace_file(const std::string& replacement, const std::string& target) {
  return ::rename(replacement.c_str(), target.c_str()) != 0 ? errno : 0;
}

ErrorCode rename_file(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) != 0 ? errno : 0;
}

ErrorCode flush_folder(const std::string& folder) {
  const int fd = open_retrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return errno;
  // Some file systems cannot flush a folder, and need not.
  const ErrorCode code = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return code;
}

ErrorCode remove_file(const std::string& path) {
  return ::unlink(path.c_str()) != 0 ? errno : 0;
}

ErrorCode list_folder(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return errno;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return 0;
}

ErrorCode make_folders(const std::string& path) {
  if (path.empty()) return 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  const std::string parent = folder_of(path);
  if (parent != path && parent != ".") {
    if (const ErrorCode code = make_folders(parent); code != 0) return code;
  }
  return ::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST ? errno : 0;
}

}  // namespace zetra::platform
