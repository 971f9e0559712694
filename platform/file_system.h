// What the recorder needs of the file system, the same on every system: looking at a path,
// files opened for reading, writing and locking, unique temporaries, replacing, listing and
// removing. Names are UTF-8 everywhere; each system's implementation converts at its own API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zetra::platform {

// The system's own error code (errno on Linux, GetLastError() on Windows); 0 is no error.
using ErrorCode = int;

// The system's text for an error code, without a trailing line break or full stop.
std::string error_text(ErrorCode code);
bool is_not_found(ErrorCode code);       // no file or folder of that name
bool is_access_denied(ErrorCode code);   // this user may not do that there
ErrorCode no_space_error();              // what a write that could not write anything reports

enum class FileKind { None, Regular, Folder, Link, Fifo, Device, Socket, Other };

// Who may do what with a file, as the system keeps it: the permission bits, owner and group on
// Linux; the attributes on Windows. A new file takes these from the file it replaces.
struct Permissions {
  unsigned mode = 0666;
  long owner = -1, group = -1;
  uint32_t attributes = 0;
};

struct FileStatus {
  FileKind kind = FileKind::None;  // None: nothing of that name
  uint64_t size = 0;
  int64_t mtime_ns = 0;            // last change of the content, nanoseconds since 1970
  uint64_t device = 0, index = 0;  // the file's identity: device and inode, or volume and index
  Permissions permissions;
  bool exists() const { return kind != FileKind::None; }
  bool same_file(const FileStatus& other) const {
    return exists() && other.exists() && device == other.device && index == other.index;
  }
};

// Examines `path`, following symbolic links (examine_link: the link itself). A missing name is
// no error: status.kind is then None.
ErrorCode examine(const std::string& path, FileStatus& status);
ErrorCode examine_link(const std::string& path, FileStatus& status);

// The real file a path names: symbolic links followed, however deep (a dangling link names the
// file it points to); the path itself when it is no link.
std::string resolve_links(const std::string& path);

// Whether this user is refused writing the file at `path`, or it was protected on purpose
// (no write permission at all, or the read-only attribute).
bool write_refused(const std::string& path, const FileStatus& status);
// A regular file that this user made (one of ours, where the system keeps owners).
bool is_own_regular_file(const FileStatus& status);
// Whether the folder lets this user replace the file `status` describes (a sticky folder lets
// only the file's or the folder's owner do it).
bool replace_allowed(const FileStatus& status, const std::string& folder);
// What a file this program creates gets: the user's default, or readable by this user alone.
Permissions new_file_permissions(bool private_file);

// Pieces of a scattered read: `bytes` bytes go to `to`, one piece after the other.
struct ReadPiece {
  void* to;
  size_t bytes;
};

// An open file, closed by the destructor. Every call returns 0 or the system's error code.
class File {
 public:
  File() = default;
  ~File() { close(); }
  File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A regular file for reading, in binary. A FIFO, device or folder is refused without waiting
  // (`kind` says what was found; open then returns 0 but the file stays closed).
  ErrorCode open_regular_for_reading(const std::string& path, FileKind& kind);
  // An existing regular file for writing in place, without following a link at its name.
  ErrorCode open_existing_for_writing(const std::string& path);
  // Any existing file for reading without following a link at its name and without waiting.
  ErrorCode open_no_follow(const std::string& path);
  // An existing file for appending (writes go to its end), without following a link.
  ErrorCode open_for_appending(const std::string& path);
  // Opens `path` for locking, creating it (readable by this user alone) when missing; a link of
  // that name is not followed.
  ErrorCode open_lock_file(const std::string& path);
  // Creates "<stem>XXXXXX<suffix>" with six characters that make it new, exclusively (never an
  // existing name or link), readable and writable by this user alone; `path` receives the name.
  ErrorCode create_unique(const std::string& stem, const std::string& suffix, std::string& path);

  bool is_open() const { return handle_ != kNoHandle; }
  ErrorCode close();

  // Reads up to `size` bytes at the current position; `got` 0 at the end of the file.
  ErrorCode read(uint8_t* to, size_t size, size_t& got);
  // Reads exactly `size` bytes at `offset`; an error or the end of the file before that fails
  // (`short_read` tells the end of the file).
  ErrorCode read_at(uint8_t* to, size_t size, uint64_t offset, bool* short_read = nullptr);
  // Reads the pieces one after the other from `offset` in as few system calls as the system
  // allows; fails unless every piece was filled.
  ErrorCode read_pieces_at(const ReadPiece* pieces, size_t count, uint64_t offset);
  // Writes all of `data` at the current position (at the end when appending); `written` counts
  // the bytes that went out, also when it fails part way.
  ErrorCode write_all(const uint8_t* data, size_t size, uint64_t& written);
  ErrorCode seek(uint64_t offset);
  ErrorCode size(uint64_t& size) const;
  ErrorCode examine(FileStatus& status) const;
  ErrorCode truncate(uint64_t size);
  // Makes sure `size` bytes from `offset` have room on the disk before they are written. A file
  // system that cannot reserve ahead is no error.
  ErrorCode reserve(uint64_t offset, uint64_t size);
  ErrorCode flush_to_disk();       // content and what is needed to find it
  ErrorCode flush_data_to_disk();  // content; the time stamps may follow later
  // Gives the file these permissions (owner and group too where this user may set them).
  ErrorCode set_permissions(const Permissions& permissions, bool with_owner);

  // A lock on the whole file for this open file alone, without waiting: false when another
  // holds it. It goes with the open file (closing it or the program's end releases it).
  bool try_lock();

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;  // a descriptor on Linux, a HANDLE on Windows
};

// Replaces `target` by `replacement` in one step (the target's name then holds the new file);
// on Windows also when the target exists, keeping its attributes.
ErrorCode replace_file(const std::string& replacement, const std::string& target);
// Renames, replacing what has the new name.
ErrorCode rename_file(const std::string& from, const std::string& to);
// Flushes a folder's entries (a rename in it) to disk, where the system needs that.
ErrorCode flush_folder(const std::string& folder);
ErrorCode remove_file(const std::string& path);
// The names of the entries of `folder` ("." and ".." left out).
ErrorCode list_folder(const std::string& folder, std::vector<std::string>& names);
// Creates the folder and any missing parents; an existing folder is no error.
ErrorCode make_folders(const std::string& path);

}  // namespace zetra::platform
