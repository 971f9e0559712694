#include "recorder/ui/win32/keys.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace zetra::ui {
namespace {

std::optional<WORD> virtual_key(const std::string& name) {
  static const std::map<std::string, WORD> named = {
      {"DEL", VK_DELETE},   {"DELETE", VK_DELETE}, {"INS", VK_INSERT},   {"HOME", VK_HOME},
      {"END", VK_END},      {"PGUP", VK_PRIOR},    {"PGDOWN", VK_NEXT},  {"LEFT", VK_LEFT},
      {"RIGHT", VK_RIGHT},  {"UP", VK_UP},         {"DOWN", VK_DOWN},    {"ESC", VK_ESCAPE},
      {"TAB", VK_TAB},      {"SPACE", VK_SPACE},   {"RETURN", VK_RETURN}, {"ENTER", VK_RETURN},
      {"+", VK_OEM_PLUS},   {"-", VK_OEM_MINUS}};
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (auto it = named.find(upper); it != named.end()) return it->second;
  if (upper.size() == 1 && std::isalnum(static_cast<unsigned char>(upper[0]))) {
    return static_cast<WORD>(upper[0]);  // 'A'..'Z' and '0'..'9' are their own key codes
  }
  if (upper.size() >= 2 && upper[0] == 'F') {
    const int number = std::atoi(upper.c_str() + 1);
    if (number >= 1 && number <= 24) return static_cast<WORD>(VK_F1 + number - 1);
  }
  return std::nullopt;
}

}  // namespace

std::optional<ACCEL> accelerator(const std::string& text, WORD command) {
  ACCEL key{FVIRTKEY, 0, command};
  size_t from = 0;
  while (true) {
    // The last part is the key itself; "Ctrl++" ends in a plus that is the key.
    const size_t plus = text.find('+', from);
    if (plus == std::string::npos || plus + 1 == text.size()) break;
    const std::string modifier = text.substr(from, plus - from);
    if (modifier == "Ctrl") {
      key.fVirt |= FCONTROL;
    } else if (modifier == "Shift") {
      key.fVirt |= FSHIFT;
    } else if (modifier == "Alt") {
      key.fVirt |= FALT;
    } else {
      return std::nullopt;
    }
    from = plus + 1;
  }
  const std::optional<WORD> code = virtual_key(text.substr(from));
  if (!code) return std::nullopt;
  key.key = *code;
  return key;
}

std::vector<ACCEL> accelerators(const std::string& shortcut, WORD command) {
  std::vector<ACCEL> keys;
  size_t from = 0;
  while (from < shortcut.size()) {
    const size_t end = std::min(shortcut.find("; ", from), shortcut.size());
    if (auto key = accelerator(shortcut.substr(from, end - from), command)) keys.push_back(*key);
    from = end + 2;
  }
  return keys;
}

std::string menu_key_text(const std::string& shortcut) {
  return shortcut.substr(0, std::min(shortcut.find("; "), shortcut.size()));
}

bool text_box_key(const ACCEL& key) {
  const BYTE modifiers = key.fVirt & (FCONTROL | FSHIFT | FALT);
  if (modifiers == 0) return key.key == VK_DELETE || key.key == VK_BACK;
  if (modifiers == FCONTROL || modifiers == (FCONTROL | FSHIFT)) {
    return key.key == 'C' || key.key == 'X' || key.key == 'V' || key.key == 'Z' ||
           key.key == 'Y' || key.key == 'A' || key.key == VK_LEFT || key.key == VK_RIGHT ||
           key.key == VK_HOME || key.key == VK_END;
  }
  return false;
}

}  // namespace zetra::ui
