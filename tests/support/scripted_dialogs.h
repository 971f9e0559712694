// Dialogs that answer from a script and remember what they were asked.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace zetra::testing {

struct AskedMessage {
  std::string text, title;
  platform::MessageIcon icon;
  platform::MessageButtons buttons;
};

struct AskedInput {
  std::string prompt, title, default_text;
};

class ScriptedDialogs final : public platform::Dialogs {
 public:
  // Answers are used in order; an empty queue answers OK / Cancel / an empty text.
  std::deque<platform::MessageAnswer> message_answers;
  std::deque<std::string> input_answers;
  std::deque<std::string> file_answers;  // for open and save dialogs alike
  std::deque<uint32_t> colour_answers;   // an empty queue cancels
  std::vector<AskedMessage> messages;
  std::vector<AskedInput> inputs;
  std::vector<std::string> file_filters;  // the filter of each file dialog, in order
  std::vector<AskedInput> files;  // prompt holds "open" or "save", default_text the initial name

  platform::MessageAnswer message_box(const std::string& text, const std::string& title,
                                      platform::MessageIcon icon,
                                      platform::MessageButtons buttons) override {
    messages.push_back({text, title, icon, buttons});
    if (message_answers.empty()) {
      return buttons == platform::MessageButtons::Ok ? platform::MessageAnswer::Ok
                                                     : platform::MessageAnswer::Cancel;
    }
    const platform::MessageAnswer answer = message_answers.front();
    message_answers.pop_front();
    return answer;
  }

  std::string input_box(const std::string& prompt, const std::string& title,
                        const std::string& default_text) override {
    inputs.push_back({prompt, title, default_text});
    if (input_answers.empty()) return {};
    std::string answer = input_answers.front();
    input_answers.pop_front();
    return answer;
  }

  std::string open_file(const std::string& title, const std::string& filter,
                        const std::string& /*default_extension*/,
                        const std::string& initial_name) override {
    file_filters.push_back(filter);
    return next_file("open", title, initial_name);
  }

  std::string save_file(const std::string& title, const std::string& filter,
                        const std::string& /*default_extension*/,
                        const std::string& initial_name) override {
    file_filters.push_back(filter);
    return next_file("save", title, initial_name);
  }

  // The list dialog: answers the front of item_answers (an index; none cancels) and keeps
  // the items it offered.
  int choose_item(const std::string& prompt, const std::string& title,
                  const std::vector<std::string>& items, int current) override {
    inputs.push_back({prompt, title, current < 0 ? "" : items.at(static_cast<size_t>(current))});
    offered_items = items;
    if (item_answers.empty()) return -1;
    const int answer = item_answers.front();
    item_answers.pop_front();
    return answer;
  }
  std::deque<int> item_answers;
  std::vector<std::string> offered_items;

  bool choose_colour(uint32_t /*start*/, uint32_t& chosen) override {
    if (colour_answers.empty()) return false;
    chosen = colour_answers.front();
    colour_answers.pop_front();
    return true;
  }

 private:
  std::string next_file(const char* kind, const std::string& title, const std::string& initial) {
    files.push_back({kind, title, initial});
    if (file_answers.empty()) return {};
    std::string answer = file_answers.front();
    file_answers.pop_front();
    return answer;
  }
};

}  // namespace zetra::testing
