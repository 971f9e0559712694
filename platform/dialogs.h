// Modal questions to the user. The logic asks through this interface and never opens a window itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zetra::platform {

enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageButtons { Ok, OkCancel, YesNoCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// How a file dialog shows one label|pattern pair of a filter: the label, then the pattern in
// parentheses once: "PDF Files(*.pdf)" or "PDF Files" with "*.pdf" both show "PDF Files (*.pdf)".
inline std::string filter_label(std::string_view label, std::string_view pattern) {
  std::string text(label);
  const std::string shown = "(" + std::string(pattern) + ")";
  if (text.size() >= shown.size() &&
      text.compare(text.size() - shown.size(), shown.size(), shown) == 0) {
    text.resize(text.size() - shown.size());
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text + " " + shown;
}

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  virtual MessageAnswer message_box(const std::string& text, const std::string& title,
                                    MessageIcon icon, MessageButtons buttons) = 0;
  // Returns the text typed; an empty string when the user cancelled or typed nothing.
  virtual std::string input_box(const std::string& prompt, const std::string& title,
                                const std::string& default_text) = 0;

  // File dialogs. `filter` lists label|pattern pairs ("Zetra Files(*.ztr)|*.ztr|All Files(*.*)|*.*");
  // a name without an extension gets `default_extension`. Empty when cancelled.
  virtual std::string open_file(const std::string& title, const std::string& filter,
                                const std::string& default_extension,
                                const std::string& initial_name) = 0;
  virtual std::string save_file(const std::string& title, const std::string& filter,
                                const std::string& default_extension,
                                const std::string& initial_name) = 0;

  // One item of a list, `current` chosen at first; the chosen item's index, or -1 when the user
  // cancelled (or the platform has no such dialog).
  virtual int choose_item(const std::string& /*prompt*/, const std::string& /*title*/,
                          const std::vector<std::string>& /*items*/, int /*current*/) {
    return -1;
  }

  // Colour picker on colours packed as blue x 65536 + green x 256 + red. False when cancelled.
  virtual bool choose_colour(uint32_t start, uint32_t& chosen) = 0;
};

}  // namespace zetra::platform
