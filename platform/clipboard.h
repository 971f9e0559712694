// The system clipboard: plain text (the copied table) or a picture (the chart).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zetra::platform {

// A picture as 0xAARRGGBB pixels, row by row from the top.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void clear() = 0;
  virtual void set_text(const std::string& text) = 0;
  virtual void set_bitmap(const Bitmap& bitmap) = 0;
};

}  // namespace zetra::platform
