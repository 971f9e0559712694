// The system clipboard through QGuiApplication's clipboard.
#pragma once

#include "platform/clipboard.h"

namespace zetra::platform {

class QtClipboard final : public Clipboard {
 public:
  void clear() override;
  void set_text(const std::string& text) override;
  void set_bitmap(const Bitmap& bitmap) override;
};

}  // namespace zetra::platform
