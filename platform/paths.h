// Joins and splits file-system paths with the platform's separator (the recorder names files as
// "\name"). On Windows both separators and a drive letter are understood.
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

// The folder part of a path: "/a/b.ztr" -> "/a", "/b.ztr" -> "/", "b.ztr" -> "."; on Windows also
// "C:\b.ztr" -> "C:\" and "C:b.ztr" -> "C:".
std::string folder_of(const std::string& path);
// The last part of a path: "/a/b.ztr" -> "b.ztr".
std::string name_of(const std::string& path);

}  // namespace zetra::platform
