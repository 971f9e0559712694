#include "platform/win32/data_folder.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

// Whether this user may create a file in `folder`: asked by making one (the folder's access
// rights, a read-only medium and the virtualised program folders all answer the same way).
bool may_create_files_in(const std::string& folder) {
  File probe;
  std::string name;
  if (probe.create_unique(join_path(folder, ".zetra-probe-"), "", name) != 0) return false;
  probe.close();
  remove_file(name);
  return true;
}

std::string roaming_folder() {
  wchar_t* path = nullptr;
  std::string folder;
  if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &path) == S_OK) {
    folder = to_utf8(path);
  }
  ::CoTaskMemFree(path);
  return folder;
}

}  // namespace

std::string program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return ".";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return folder_of(to_utf8(path));
}

std::string choose_data_folder(const std::string& program_folder, std::string user_folder) {
  FileStatus status;
  if (examine(program_folder, status) == 0 && status.kind == FileKind::Folder &&
      may_create_files_in(program_folder)) {
    return program_folder;
  }
  if (user_folder.empty()) user_folder = join_path(roaming_folder(), "zetra");
  // A folder that cannot be made still names where the files were expected: the save that fails
  // reports it with the reason.
  make_folders(user_folder);
  return user_folder;
}

}  // namespace zetra::platform
