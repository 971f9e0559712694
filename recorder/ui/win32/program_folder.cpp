#include "recorder/ui/win32/program_folder.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace zetra::ui {

std::string program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // a long path: try again with more room
  }
  const size_t slash = path.find_last_of(L"\\/");
  return platform::to_utf8(slash == std::wstring::npos ? L"." : path.substr(0, slash));
}

}  // namespace zetra::ui
