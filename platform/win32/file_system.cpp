// The file layer on Windows: UTF-16 names through the wide API, every file in binary (there is no
// other mode at this level), handles shared for reading, writing and deleting as descriptors are
// on Linux, ReplaceFileW or MoveFileExW with write-through for replacing, LockFileEx for locks.
#include "platform/file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/paths.h"
#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The attributes a replacement takes over from the file it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// Locks lie far beyond any content, so that they never stand in the way of reading or writing.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
ErrorCode last_error() { return static_cast<ErrorCode>(::GetLastError()); }

int64_t unix_ns(const FILETIME& time) {
  const int64_t ticks = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (ticks - 116444736000000000LL) * 100;  // 100 ns steps since 1601
}

// "CON", "NUL", "COM1", "LPT1.txt" ...: names the system takes for devices in any folder. They
// are never opened as files (opening a serial port already does something).
bool device_name(const std::string& path) {
  std::string base = name_of(path);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

FileKind kind_of(DWORD attributes, DWORD type) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FileKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::Folder;
  if (type == FILE_TYPE_CHAR) return FileKind::Device;
  if (type == FILE_TYPE_PIPE) return FileKind::Fifo;
  return type == FILE_TYPE_DISK ? FileKind::Regular : FileKind::Other;
}

void fill(const BY_HANDLE_FILE_INFORMATION& info, DWORD type, FileStatus& status) {
  status.kind = kind_of(info.dwFileAttributes, type);
  status.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status.mtime_ns = unix_ns(info.ftLastWriteTime);
  status.device = info.dwVolumeSerialNumber;
  status.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  status.permissions.attributes = info.dwFileAttributes;
  status.permissions.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
}

ErrorCode examine_handle(HANDLE handle, FileStatus& status) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return last_error();
  fill(info, ::GetFileType(handle), status);
  return 0;
}

ErrorCode examine_path(const std::string& path, FileStatus& status, DWORD flags) {
  status = FileStatus{};
  if (device_name(path)) {
    status.kind = FileKind::Device;
    return 0;
  }
  const std::wstring wide = to_utf16(path);
  HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    const ErrorCode code = examine_handle(handle, status);
    ::CloseHandle(handle);
    return code;
  }
  const ErrorCode code = last_error();
  if (is_not_found(code)) return 0;
  // Held open by someone who shares nothing: its attributes still tell what it is.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return code;
  BY_HANDLE_FILE_INFORMATION info{};
  info.dwFileAttributes = data.dwFileAttributes;
  info.ftLastWriteTime = data.ftLastWriteTime;
  info.nFileSizeHigh = data.nFileSizeHigh;
  info.nFileSizeLow = data.nFileSizeLow;
  fill(info, FILE_TYPE_DISK, status);
  return 0;
}

std::wstring full_path(const std::string& path) {
  const std::wstring wide = to_utf16(path);
  const DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  const DWORD used = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  full.resize(used);
  return full;
}

std::string random_characters(size_t count) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device source;
  std::string text;
  for (size_t i = 0; i < count; ++i) text += kAlphabet[source() % (sizeof kAlphabet - 1)];
  return text;
}

}  // namespace

std::string error_text(ErrorCode code) { return system_error_text(static_cast<unsigned long>(code)); }

bool is_not_found(ErrorCode code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool is_access_denied(ErrorCode code) {
  return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT;
}

ErrorCode no_space_error() { return ERROR_DISK_FULL; }

ErrorCode examine(const std::string& path, FileStatus& status) {
  return examine_path(path, status, 0);
}

ErrorCode examine_link(const std::string& path, FileStatus& status) {
  return examine_path(path, status, FILE_FLAG_OPEN_REPARSE_POINT);
}

// Links on Windows need rights a user seldom has; a path is taken as the file it names.
std::string resolve_links(const std::string& path) { return path; }

bool write_refused(const std::string&, const FileStatus& status) {
  return (status.permissions.attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool is_own_regular_file(const FileStatus& status) { return status.kind == FileKind::Regular; }

bool replace_allowed(const FileStatus&, const std::string&) { return true; }

Permissions new_file_permissions(bool private_file) {
  Permissions p;
  p.mode = private_file ? 0600 : 0666;
  p.attributes = 0;  // as the system gives a new file
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
  const bool closed = ::CloseHandle(handle_of(handle_));  // also drops a lock
  handle_ = kNoHandle;
  return closed ? 0 : last_error();
}

namespace {

// Opens an existing file or makes one; with no_follow a link of that name is refused.
ErrorCode open_handle(const std::string& path, DWORD access, DWORD disposition, bool no_follow,
                      intptr_t& handle) {
  if (device_name(path)) return ERROR_INVALID_NAME;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (no_follow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE h = ::CreateFileW(to_utf16(path).c_str(), access, kShareAll, nullptr, disposition,
                           flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error();
  FileStatus status;
  if (no_follow && (examine_handle(h, status) != 0 || status.kind != FileKind::Regular)) {
    ::CloseHandle(h);
    return ERROR_CANT_RESOLVE_FILENAME;
  }
  handle = reinterpret_cast<intptr_t>(h);
  return 0;
}

}  // namespace

ErrorCode File::open_regular_for_reading(const std::string& path, FileKind& kind) {
  close();
  FileStatus status;
  // Looked at before it is opened: opening a device already does something.
  if (platform::examine(path, status) == 0 && status.exists() && status.kind != FileKind::Regular) {
    kind = status.kind;
    return 0;
  }
  HANDLE h = ::CreateFileW(to_utf16(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error();
  if (examine_handle(h, status) != 0 || status.kind != FileKind::Regular) {
    kind = status.kind;
    ::CloseHandle(h);
    return 0;
  }
  kind = FileKind::Regular;
  handle_ = reinterpret_cast<intptr_t>(h);
  return 0;
}

ErrorCode File::open_existing_for_writing(const std::string& path) {
  close();
  return open_handle(path, GENERIC_WRITE, OPEN_EXISTING, true, handle_);
}

ErrorCode File::open_no_follow(const std::string& path) {
  close();
  return open_handle(path, GENERIC_READ, OPEN_EXISTING, true, handle_);
}

ErrorCode File::open_for_appending(const std::string& path) {
  close();
  if (const ErrorCode code = open_handle(path, GENERIC_WRITE, OPEN_EXISTING, true, handle_);
      code != 0) {
    return code;
  }
  LARGE_INTEGER zero{};
  if (!::SetFilePointerEx(handle_of(handle_), zero, nullptr, FILE_END)) {
    const ErrorCode code = last_error();
    close();
    return code;
  }
  return 0;
}

ErrorCode File::open_lock_file(const std::string& path) {
  close();
  return open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, true, handle_);
}

ErrorCode File::create_unique(const std::string& stem, const std::string& suffix,
                              std::string& path) {
  close();
  ErrorCode code = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS);
       ++attempt) {
    const std::string name = stem + random_characters(6) + suffix;
    // CREATE_NEW, the name itself: never an existing file or link.
    HANDLE h = ::CreateFileW(to_utf16(name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                             nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<intptr_t>(h);
      path = name;
      return 0;
    }
    code = last_error();
  }
  return code;
}

ErrorCode File::read(uint8_t* to, size_t size, size_t& got) {
  DWORD n = 0;
  const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  got = 0;
  if (!::ReadFile(handle_of(handle_), to, ask, &n, nullptr)) return last_error();
  got = n;
  return 0;
}

ErrorCode File::read_at(uint8_t* to, size_t size, uint64_t offset, bool* short_read) {
  if (short_read != nullptr) *short_read = false;
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    if (!::ReadFile(handle_of(handle_), to, ask, &n, &at)) {
      const ErrorCode code = last_error();
      if (code != ERROR_HANDLE_EOF) return code;
      n = 0;
    }
    if (n == 0) {
      if (short_read != nullptr) *short_read = true;
      return ERROR_HANDLE_EOF;
    }
    to += n, size -= n, offset += n;
  }
  return 0;
}

ErrorCode File::read_pieces_at(const ReadPiece* pieces, size_t count, uint64_t offset) {
  // One read of the pieces' whole span into a buffer, then each piece to its place.
  size_t bytes = 0;
  for (size_t i = 0; i < count; ++i) bytes += pieces[i].bytes;
  std::vector<uint8_t> buffer(bytes);
  if (const ErrorCode code = read_at(buffer.data(), bytes, offset); code != 0) return code;
  size_t at = 0;
  for (size_t i = 0; i < count; ++i) {
    std::memcpy(pieces[i].to, buffer.data() + at, pieces[i].bytes);
    at += pieces[i].bytes;
  }
  return 0;
}

ErrorCode File::write_all(const uint8_t* data, size_t size, uint64_t& written) {
  size_t done = 0;
  while (done < size) {
    DWORD n = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    if (!::WriteFile(handle_of(handle_), data + done, ask, &n, nullptr)) return last_error();
    if (n == 0) return ERROR_DISK_FULL;
    done += n;
    written += n;
  }
  return 0;
}

ErrorCode File::seek(uint64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(handle_of(handle_), to, nullptr, FILE_BEGIN) ? 0 : last_error();
}

ErrorCode File::size(uint64_t& size) const {
  LARGE_INTEGER value{};
  if (!::GetFileSizeEx(handle_of(handle_), &value)) return last_error();
  size = static_cast<uint64_t>(value.QuadPart);
  return 0;
}

ErrorCode File::examine(FileStatus& status) const { return examine_handle(handle_of(handle_), status); }

ErrorCode File::truncate(uint64_t size) {
  // SetEndOfFile cuts at the position; the position is put back afterwards.
  HANDLE h = handle_of(handle_);
  LARGE_INTEGER zero{}, was{}, to{};
  to.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFilePointerEx(h, zero, &was, FILE_CURRENT) ||
      !::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) {
    return last_error();
  }
  ::SetFilePointerEx(h, was, nullptr, FILE_BEGIN);
  return 0;
}

ErrorCode File::reserve(uint64_t offset, uint64_t size) {
  uint64_t now = 0;
  if (size == 0) return 0;
  if (const ErrorCode code = this->size(now); code != 0) return code;
  if (offset + size <= now) return 0;  // a smaller allocation would cut the file
  FILE_ALLOCATION_INFO info{};
  info.AllocationSize.QuadPart = static_cast<LONGLONG>(offset + size);
  if (::SetFileInformationByHandle(handle_of(handle_), FileAllocationInfo, &info, sizeof info)) {
    return 0;
  }
  const ErrorCode code = last_error();
  // A file system that cannot reserve ahead says so; the writes then find out themselves.
  return code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
                 code == ERROR_INVALID_FUNCTION
             ? 0
             : code;
}

ErrorCode File::flush_to_disk() {
  return ::FlushFileBuffers(handle_of(handle_)) ? 0 : last_error();
}

ErrorCode File::flush_data_to_disk() { return flush_to_disk(); }

ErrorCode File::set_permissions(const Permissions& p, bool) {
  const DWORD kept = p.attributes & kKeptAttributes;
  if (kept == 0) return 0;  // a new file keeps what the system gave it
  FILE_BASIC_INFO info{};  // times of zero stay as they are
  info.FileAttributes = kept;
  return ::SetFileInformationByHandle(handle_of(handle_), FileBasicInfo, &info, sizeof info)
             ? 0
             : last_error();
}

bool File::try_lock() {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return ::LockFileEx(handle_of(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      1, 0, &at);
}

ErrorCode replace_file(const std::string& replacement, const std::string& target) {
  const std::wstring from = full_path(replacement), to = full_path(target);
  // ReplaceFileW keeps the replaced file's identity where the system can (attributes, security,
  // creation time); with nothing to replace, or where it cannot, the move replaces the name.
  if (::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
      ::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
    return 0;
  }
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : last_error();
}

ErrorCode rename_file(const std::string& from, const std::string& to) {
  return ::MoveFileExW(to_utf16(from).c_str(), to_utf16(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : last_error();
}

// A move with MOVEFILE_WRITE_THROUGH is on the disk when it returns; the folder has nothing left.
ErrorCode flush_folder(const std::string&) { return 0; }

ErrorCode remove_file(const std::string& path) {
  return ::DeleteFileW(to_utf16(path).c_str()) ? 0 : last_error();
}

ErrorCode list_folder(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(to_utf16(join_path(folder, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const ErrorCode code = last_error();
    return code == ERROR_FILE_NOT_FOUND ? 0 : code;
  }
  do {
    const std::string name = to_utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return 0;
}

ErrorCode make_folders(const std::string& path) {
  if (path.empty()) return 0;
  const DWORD attributes = ::GetFileAttributesW(to_utf16(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
  }
  const std::string parent = folder_of(path);
  if (parent != path && parent != ".") {
    if (const ErrorCode code = make_folders(parent); code != 0) return code;
  }
  if (::CreateDirectoryW(to_utf16(path).c_str(), nullptr)) return 0;
  const ErrorCode code = last_error();
  return code == ERROR_ALREADY_EXISTS ? 0 : code;
}

}  // namespace zetra::platform
