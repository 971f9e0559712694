#include "platform/win32/dialog_template.h"

namespace zetra::platform {

DialogTemplate::DialogTemplate(const std::wstring& title, short width, short height) {
  put(static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | DS_SHELLFONT | DS_CENTER | WS_POPUP |
                         WS_CAPTION | WS_SYSMENU));
  put(static_cast<DWORD>(0));  // extended style
  count_at_ = words_.size();
  put(static_cast<WORD>(0));  // controls, counted by add()
  for (short value : {short(0), short(0), width, height}) put(static_cast<WORD>(value));
  put(static_cast<WORD>(0));  // no menu
  put(static_cast<WORD>(0));  // the standard dialog class
  put(title);
  put(static_cast<WORD>(9));  // points
  put(std::wstring(L"MS Shell Dlg"));
}

void DialogTemplate::align() {
  if (words_.size() % 2 != 0) put(static_cast<WORD>(0));
}

void DialogTemplate::put(DWORD value) {
  put(static_cast<WORD>(value & 0xFFFF));
  put(static_cast<WORD>(value >> 16));
}

void DialogTemplate::put(const std::wstring& text) {
  for (wchar_t c : text) put(static_cast<WORD>(c));
  put(static_cast<WORD>(0));
}

void DialogTemplate::add(WORD class_atom, WORD id, const std::wstring& text, DWORD style, short x,
                         short y, short width, short height) {
  align();  // every item starts on a DWORD boundary
  put(static_cast<DWORD>(style | WS_CHILD | WS_VISIBLE));
  put(static_cast<DWORD>(0));
  for (short value : {x, y, width, height}) put(static_cast<WORD>(value));
  put(id);
  put(static_cast<WORD>(0xFFFF));
  put(class_atom);
  put(text);
  put(static_cast<WORD>(0));  // no creation data
  words_[count_at_] = static_cast<WORD>(words_[count_at_] + 1);
}

}  // namespace zetra::platform
