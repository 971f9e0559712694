// The interface's questions as the system's own dialogs: message boxes, the common file and
// colour dialogs, and an input box and a list chooser built in memory.
#pragma once

#include <windows.h>

#include "platform/dialogs.h"

namespace zetra::platform {

class Win32Dialogs final : public Dialogs {
 public:
  // The window the dialogs belong to (they stay above it and it waits for them).
  void set_owner(HWND owner) { owner_ = owner; }

  MessageAnswer message_box(const std::string& text, const std::string& title, MessageIcon icon,
                            MessageButtons buttons) override;
  std::string input_box(const std::string& prompt, const std::string& title,
                        const std::string& default_text) override;
  std::string open_file(const std::string& title, const std::string& filter,
                        const std::string& default_extension,
                        const std::string& initial_name) override;
  std::string save_file(const std::string& title, const std::string& filter,
                        const std::string& default_extension,
                        const std::string& initial_name) override;
  int choose_item(const std::string& prompt, const std::string& title,
                  const std::vector<std::string>& items, int current) override;
  bool choose_colour(uint32_t start, uint32_t& chosen) override;

 private:
  std::string file_dialog(bool save, const std::string& title, const std::string& filter,
                          const std::string& default_extension, const std::string& initial_name);

  HWND owner_ = nullptr;
  COLORREF custom_colours_[16]{};  // the colour dialog's own sixteen, kept for the session
};

// "Label|pattern|Label|pattern" as the common dialogs take it: UTF-16 pairs, each part ended by
// a zero, the list by another.
std::wstring file_filter(const std::string& filter);

// The dialog controls' ids, for programs that answer the dialogs (tests).
inline constexpr int kInputBoxEdit = 100;
inline constexpr int kInputBoxPrompt = 101;
inline constexpr int kChooserList = 102;

}  // namespace zetra::platform
