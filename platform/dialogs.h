// Modal questions to the user. The logic asks through this interface and never opens a window itself.
#pragma once

#include <string>

namespace zetra::platform {

enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageButtons { Ok, OkCancel, YesNoCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  virtual MessageAnswer message_box(const std::string& text, const std::string& title,
                                    MessageIcon icon, MessageButtons buttons) = 0;
  // Returns the text typed; an empty string when the user cancelled or typed nothing.
  virtual std::string input_box(const std::string& prompt, const std::string& title,
                                const std::string& default_text) = 0;
};

}  // namespace zetra::platform
