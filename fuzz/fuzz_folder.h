// One scratch folder per fuzzing process, made on first use, for targets that go through files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zetra::fuzz {

inline std::string folder() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zetra-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return path;
}

}  // namespace zetra::fuzz
