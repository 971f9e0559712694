// Each put empties the clipboard first, so the text and the picture never stand side by side.
#include "platform/win32/win32_clipboard.h"

#include <cstring>

#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

// A movable global block holding `size` bytes copied from `data`; null when memory is short.
HGLOBAL global_copy(const void* data, size_t size) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  void* target = ::GlobalLock(block);
  if (!target) {
    ::GlobalFree(block);
    return nullptr;
  }
  std::memcpy(target, data, size);
  ::GlobalUnlock(block);
  return block;
}

void put(UINT format, HGLOBAL block) {
  if (block && !::SetClipboardData(format, block)) ::GlobalFree(block);
}

}  // namespace

// Another program may hold the clipboard for a moment: a few tries before giving up.
bool Win32Clipboard::open() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (::OpenClipboard(owner_)) return true;
    ::Sleep(10);
  }
  return false;
}

void Win32Clipboard::clear() {
  if (!open()) return;
  ::EmptyClipboard();
  ::CloseClipboard();
}

// The table's text is the same as on every system (CR LF lines, the degree sign as U+00B0); here
// it travels as UTF-16 with its terminating zero.
void Win32Clipboard::set_text(const std::string& text) {
  const std::wstring wide = to_utf16(text);
  if (!open()) return;
  ::EmptyClipboard();
  put(CF_UNICODETEXT, global_copy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t)));
  ::CloseClipboard();
}

// A bottom-up 32-bit DIB, the layout every Windows program reads.
void Win32Clipboard::set_bitmap(const Bitmap& bitmap) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = bitmap.width;
  header.biHeight = bitmap.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  const size_t row = static_cast<size_t>(bitmap.width);
  header.biSizeImage = static_cast<DWORD>(row * static_cast<size_t>(bitmap.height) * 4);
  std::string block(sizeof(header) + header.biSizeImage, '\0');
  std::memcpy(block.data(), &header, sizeof(header));
  auto* pixels = reinterpret_cast<uint32_t*>(block.data() + sizeof(header));
  for (int y = 0; y < bitmap.height; ++y) {
    const uint32_t* source = bitmap.pixels.data() + static_cast<size_t>(y) * row;
    uint32_t* target = pixels + static_cast<size_t>(bitmap.height - 1 - y) * row;
    for (size_t x = 0; x < row; ++x) target[x] = source[x] & 0x00FFFFFFu;
  }
  if (!open()) return;
  ::EmptyClipboard();
  put(CF_DIB, global_copy(block.data(), block.size()));
  ::CloseClipboard();
}

}  // namespace zetra::platform
