// A library of the other bitness is recognised from its PE header before loading, so the user is
// told which zetra to use; a library lacking one of the six functions is not kept loaded.
#include "platform/win32/win32_device_library.h"

#include <windows.h>

#include <utility>

#include "platform/win32/pe_image.h"
#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

std::wstring program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring system_folder() {
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
}

// The first 4 KB of a file: enough for any PE header the linker writes.
std::string file_start(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(4096, '\0');
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

bool file_exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

Win32DeviceLibrary::Win32DeviceLibrary(std::wstring file_name) : file_name_(std::move(file_name)) {}

Win32DeviceLibrary::~Win32DeviceLibrary() { unload(); }

void Win32DeviceLibrary::unload() {
  forget();
  if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
  module_ = nullptr;
}

std::string Win32DeviceLibrary::check_file() const {
  const std::string name = to_utf8(file_name_);
  const std::wstring here = program_folder();
  for (const std::wstring& folder : {here, system_folder()}) {
    const std::wstring path = folder + L"\\" + file_name_;
    if (folder.empty() || !file_exists(path)) continue;
    const std::optional<uint16_t> machine = pe_machine(file_start(path));
    if (!machine) return to_utf8(path) + " is not a Windows library";
    return machine_mismatch(name, *machine);
  }
  return name + " was not found in " + to_utf8(here) + " or the system folder";
}

bool Win32DeviceLibrary::load() {
  if (module_ != nullptr) return true;
  load_error_ = check_file();
  if (!load_error_.empty()) return false;
  // The program's folder and the system folder only: a library planted in the current folder
  // or on the search path is never picked up.
  HMODULE module = LoadLibraryExW(file_name_.c_str(), nullptr,
                                  LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) {
    load_error_ = to_utf8(file_name_) + " could not be loaded: " + system_error_text(GetLastError());
    return false;
  }
  module_ = module;
  // GetProcAddress hands back a generic function pointer; each is cast to its own signature.
  const std::string missing = resolve([module](const char* name) {
    return reinterpret_cast<Entry>(GetProcAddress(module, name));
  });
  if (!missing.empty()) {
    load_error_ = to_utf8(file_name_) + " lacks the function " + missing;
    unload();
    return false;
  }
  return true;
}

}  // namespace zetra::platform
