// A clipboard that keeps what was put on it, for tests.
#pragma once

#include <string>

#include "platform/clipboard.h"

namespace zetra::testing {

class MemoryClipboard final : public platform::Clipboard {
 public:
  std::string text;
  platform::Bitmap bitmap;
  int clears = 0;

  void clear() override {
    ++clears;
    text.clear();
    bitmap = {};
  }
  void set_text(const std::string& new_text) override { text = new_text; }
  void set_bitmap(const platform::Bitmap& new_bitmap) override { bitmap = new_bitmap; }
};

}  // namespace zetra::testing
