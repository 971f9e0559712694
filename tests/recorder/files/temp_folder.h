// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace zetra::testing {

class TempFolder {
 public:
  // A new name each time, made by creating it (create_directory refuses one that exists).
  TempFolder() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = "zetra-files-";
      for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
      path_ = std::filesystem::temp_directory_path() / name;
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) return;
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string path() const { return path_.string(); }
  // Joined as text: on Windows a std::filesystem::path would take a UTF-8 name for the ANSI code
  // page's.
  std::string file(const std::string& name) const { return platform::join_path(path(), name); }

 private:
  std::filesystem::path path_;
};

// The recovery journals in `folder` ("zetrat-*.journal"), sorted by name.
inline std::vector<std::string> journals_in(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("zetrat-", 0) == 0 && name.size() > 15 &&
        name.compare(name.size() - 8, 8, ".journal") == 0) {
      found.push_back(entry.path().string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Files whose name holds `mark` (temporaries, say) in `folder`.
inline std::vector<std::string> files_named_with(const std::string& folder,
                                                 const std::string& mark) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().filename().string().find(mark) != std::string::npos) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

inline std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Independent little-endian readers, byte by byte.
inline float float_at(const std::vector<uint8_t>& b, size_t at) {
  const uint32_t u =
      b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<uint32_t>(b.at(at + 3)) << 24;
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline uint32_t uint32_at(const std::vector<uint8_t>& b, size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
         static_cast<uint32_t>(b.at(at + 3)) << 24;
}
inline int16_t int16_at(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int16_t>(b.at(at) | b.at(at + 1) << 8);
}
inline void put_float_at(std::vector<uint8_t>& b, size_t at, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace zetra::testing
