// Composition of the status field from the notices.
#include "recorder/window/status_field.h"

#include "recorder/window/window_model.h"

namespace zetra {

namespace {

void append(std::string& text, const std::string& part) {
  if (part.empty()) return;
  if (!text.empty()) text += " \xC2\xB7 ";  // a middle dot between parts
  text += part;
}

}  // namespace

std::string status_field_text(const RecorderState& state) {
  std::string text;
  append(text, state.input_notice);  // what the user just typed, so it is seen at once
  append(text, state.link_notice);
  append(text, state.journal_notice);
  append(text, state.recording_notice);
  if (state.unsaved()) {
    append(text, "Unsaved changes");
  } else if (!state.saved_time.empty()) {
    append(text, (state.opened ? "Opened " : "Saved ") + state.saved_time);
  }
  append(text, state.notes_notice);
  return text;
}

void show_status_field(const RecorderState& state, WindowModel& window) {
  window["stfield"].caption = status_field_text(state);
}

}  // namespace zetra
