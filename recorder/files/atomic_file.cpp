#include "recorder/files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zetra::files {
namespace {

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new file gets the permissions the user's mask allows, as any file the program creates.
unsigned new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
}

// Flushes the folder's entries (the rename) to disk.
bool sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot, and need not
  ::close(fd);
  return ok;
}

}  // namespace

std::string resolve_links(const std::string& path) {
  std::string at = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<size_t>(n) >= target.size()) return at;
    const std::string link(target.data(), static_cast<size_t>(n));
    at = link.front() == '/' ? link : folder_of(at) + "/" + link;
  }
  return at;  // a loop of links: opening it fails with the system's reason
}

AtomicFile::AtomicFile(std::string path, FaultPlan* faults)
    : path_(std::move(path)), faults_(faults) {}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
}

bool AtomicFile::fail(const std::string& what, int code) {
  if (!error_.empty()) return false;
  error_ = what + ": " + (code != 0 ? std::strerror(code) : "simulated failure");
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

// What is there now: a regular file (whose mode and owner the new one takes), nothing, or
// something that must not be replaced.
bool AtomicFile::check_target() {
  target_ = resolve_links(path_);
  struct stat st {};
  if (::stat(target_.c_str(), &st) != 0) {
    if (errno != ENOENT) return fail("cannot examine " + path_, errno);
    mode_ = new_file_mode();
    return true;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = path_ + (S_ISDIR(st.st_mode) ? " is a folder" : " is not a regular file");
    return false;
  }
  exists_ = true;
  mode_ = st.st_mode & 07777;
  owner_ = st.st_uid;
  group_ = st.st_gid;
  // A file without any write permission was protected on purpose, even from the superuser.
  if ((mode_ & 0222) == 0 || (::access(target_.c_str(), W_OK) != 0 && errno != ENOENT)) {
    read_only_ = true;
    error_ = path_ + " is read-only";
    return false;
  }
  return true;
}

bool AtomicFile::open() {
  if (!step("cannot create the new file") || !check_target()) return false;
  remove_stale_temporaries();
  if (exists_ && replacement_refused()) return open_in_place();
  if (open_temporary()) return true;
  const int code = errno;
  if (exists_ && (code == EACCES || code == EPERM)) return open_in_place();
  return fail("cannot create a temporary file in " + folder_of(target_), code);
}

bool AtomicFile::open_temporary() {
  std::string name = target_ + kTemporaryMark + "XXXXXX";
  const int fd = ::mkstemp(name.data());  // O_CREAT | O_EXCL: never an existing name or link
  if (fd < 0) return false;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::flock(fd, LOCK_EX | LOCK_NB);  // marks it as in use for another program's stale sweep
  fd_ = fd;
  temp_path_ = std::move(name);
  return true;
}

// In a sticky folder (/tmp and the like) only the file's or the folder's owner may replace the
// file; another user allowed to write it gets it written in place.
bool AtomicFile::replacement_refused() const {
  struct stat folder {};
  if (::stat(folder_of(target_).c_str(), &folder) != 0 || (folder.st_mode & S_ISVTX) == 0) return false;
  const uid_t me = ::geteuid();
  return me != 0 && me != static_cast<uid_t>(owner_) && me != folder.st_uid;
}

bool AtomicFile::open_in_place() {
  fd_ = ::open(target_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return fail("cannot open " + path_ + " for writing", errno);
  in_place_ = true;
  return true;
}

bool AtomicFile::write_all(const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("cannot write", n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  return true;
}

bool AtomicFile::write(const uint8_t* data, size_t size) {
  if (!step("cannot write") || fd_ < 0) return false;
  return write_all(data, size);
}

bool AtomicFile::carry_over_from(uint64_t offset) {
  if (!error_.empty() || fd_ < 0) return false;
  keep_tail_ = true;
  if (in_place_ || !exists_) return true;  // in place the old bytes are still there
  return carry_over_in_temporary(offset);
}

bool AtomicFile::carry_over_in_temporary(uint64_t offset) {
  const int old = ::open(target_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (old < 0) return fail("cannot read the old file", errno);
  bool ok = ::lseek(old, static_cast<off_t>(offset), SEEK_SET) >= 0;
  std::vector<uint8_t> chunk(1 << 16);
  while (ok) {
    const ssize_t n = ::read(old, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = fail("cannot read the old file", errno);
    if (n <= 0) break;
    ok = write(chunk.data(), static_cast<size_t>(n));
  }
  ::close(old);
  return ok && error_.empty();
}

bool AtomicFile::commit() {
  if (fd_ < 0) return false;
  const bool flushing = step("cannot flush");
  if (in_place_) return commit_in_place();
  return flushing && commit_temporary();
}

bool AtomicFile::commit_temporary() {
  // The old file's permissions, and its owner and group where this user may set them.
  if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0)
    return fail("cannot set the permissions", errno);
  if (exists_ && ::fchown(fd_, static_cast<uid_t>(owner_), static_cast<gid_t>(group_)) != 0) {
    ::fchown(fd_, static_cast<uid_t>(-1), static_cast<gid_t>(group_));
  }
  if (::fsync(fd_) != 0) return fail("cannot flush to disk", errno);
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return fail("cannot close", errno);
  if (!step("cannot replace the old file")) return false;
  if (::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    return fail("cannot replace the old file", errno);
  }
  committed_ = true;
  if (!sync_folder(folder_of(target_))) return fail("cannot flush the folder", errno);
  return true;
}

bool AtomicFile::commit_in_place() {
  bool ok = error_.empty();
  if (ok && !keep_tail_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) {
    ok = fail("cannot shorten the file", errno);
  }
  if (ok && ::fsync(fd_) != 0) ok = fail("cannot flush to disk", errno);
  ::close(fd_);
  fd_ = -1;
  committed_ = ok;
  return ok;
}

// Temporaries of ours for this file that a killed save left behind. One another program is still
// writing holds its lock and stays.
void AtomicFile::remove_stale_temporaries() const {
  const std::string folder = folder_of(target_);
  const std::string prefix = name_of(target_) + kTemporaryMark;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // a link or something else we did not make
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

}  // namespace zetra::files
