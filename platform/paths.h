// Joins file-system paths with the platform's separator (the recorder names files as "\name").
#pragma once

#include <string>
#include <string_view>

namespace zetra::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// join("/opt/zetra", "file1.ztr") == "/opt/zetra/file1.ztr"; a leading separator on name is ignored.
std::string join_path(std::string_view folder, std::string_view name);

}  // namespace zetra::platform
