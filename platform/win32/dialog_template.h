// A dialog box described in memory (no resource script): the input box and the list chooser are
// built from it. Sizes are dialog units, so the system scales them with the font and the DPI.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zetra::platform {

class DialogTemplate {
 public:
  // A modal frame with a title in the shell's dialog font.
  DialogTemplate(const std::wstring& title, short width, short height);

  // One control of a system class: 0x0080 button, 0x0081 edit, 0x0082 static, 0x0083 list box.
  void add(WORD class_atom, WORD id, const std::wstring& text, DWORD style, short x, short y,
           short width, short height);

  // The template as DialogBoxIndirectParamW takes it.
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void align();
  void put(WORD word) { words_.push_back(word); }
  void put(DWORD value);
  void put(const std::wstring& text);

  std::vector<WORD> words_;
  size_t count_at_ = 0;  // where the header keeps the number of controls
};

inline constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082,
                      kListBoxClass = 0x0083;

}  // namespace zetra::platform
