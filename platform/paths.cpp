#include "platform/paths.h"

namespace zetra::platform {
namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

// Where the name after the folder starts: past the last separator, or a Windows drive "C:".
size_t name_start(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  if (slash != std::string::npos) return slash + 1;
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') return 2;
#endif
  return 0;
}

}  // namespace

std::string join_path(std::string_view folder, std::string_view name) {
  while (!name.empty() && (name.front() == '\\' || name.front() == '/')) name.remove_prefix(1);
  std::string path(folder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += kPathSeparator;
  path += name;
  return path;
}

std::string folder_of(const std::string& path) {
  const size_t start = name_start(path);
  if (start == 0) return ".";
  std::string folder = path.substr(0, start);
  // The separator goes unless it is the root's ("/", "C:\").
#ifdef _WIN32
  const size_t root = folder.size() >= 2 && folder[1] == ':' ? 3 : 1;
#else
  const size_t root = 1;
#endif
  if (folder.size() > root && folder.find_last_of(kSeparators) == folder.size() - 1) {
    folder.pop_back();
  }
  return folder;
}

std::string name_of(const std::string& path) { return path.substr(name_start(path)); }

}  // namespace zetra::platform
