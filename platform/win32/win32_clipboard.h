// The system clipboard through the Win32 API: text as Unicode text (CF_UNICODETEXT), the chart's
// picture as a device-independent bitmap (CF_DIB).
#pragma once

#include <windows.h>

#include "platform/clipboard.h"

namespace zetra::platform {

class Win32Clipboard final : public Clipboard {
 public:
  // The window that owns what is put on the clipboard; none: the task.
  void set_owner(HWND owner) { owner_ = owner; }

  void clear() override;
  void set_text(const std::string& text) override;
  void set_bitmap(const Bitmap& bitmap) override;

 private:
  bool open();

  HWND owner_ = nullptr;
};

}  // namespace zetra::platform
