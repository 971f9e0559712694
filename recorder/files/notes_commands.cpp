#include "recorder/files/notes_commands.h"

#include <algorithm>
#include <string>

#include "recorder/files/notes_text.h"

namespace zetra::files {

std::string notes_room_notice(int64_t room, size_t unlisted, bool pane_shown) {
  const auto count = [](int64_t n, const char* one, const char* more) {
    return std::to_string(n) + (n == 1 ? one : more);
  };
  if (unlisted > 0 && room < 0) {
    return "Notes full: " + count(static_cast<int64_t>(unlisted), " stretch", " stretches") +
           " without an answer not listed, " + count(-room, " byte", " bytes") + " short";
  }
  if (room < 0) return "Notes: " + count(-room, " byte", " bytes") + " too many, not saved";
  if (!pane_shown) return {};
  return "Notes: " + count(room, " byte", " bytes") + " left";
}

void NotesCommands::show_room() {
  const RecorderState& s = context_.state;
  Control& pane = context_.window["nt1"];
  const ComposedNotes notes = compose_notes_field(pane.caption, s.notes_line_break, s.held);
  const int64_t units = static_cast<int64_t>(utf16_units(pane.caption));
  pane.max_length = static_cast<int>(std::max<int64_t>(0, units + notes.room));
  context_.state.notes_notice = notes_room_notice(notes.room, notes.unlisted, pane.visible);
}

void remember_window_geometry(RecorderContext& context) {
  platform::WindowFrame* frame = context.platform.frame;
  if (frame == nullptr || frame->maximised()) return;
  const platform::FrameGeometry g = frame->geometry();
  RecorderState& s = context.state;
  s.win_top = static_cast<float>(g.top);
  s.win_left = static_cast<float>(g.left);
  s.win_height = static_cast<float>(g.height);
  s.win_width = static_cast<float>(g.width);
}

void NotesCommands::bind() {
  context_.window.on("pnoteson", [this] { show_notes(true); });
  context_.window.on("pnotesoff", [this] { show_notes(false); });
  context_.window.on("ppnotes", [this] { print_notes(); });
}

// The view lays the window out around the pane from the pane's visibility.
void NotesCommands::show_notes(bool on) {
  context_.window.check(on ? "pnoteson" : "pnotesoff");
  context_.window["nt1"].visible = on;
  remember_window_geometry(context_);
  Procedures::call(context_.procedures.show_status_field);
  Procedures::call(context_.procedures.r_line);
}

void NotesCommands::print_notes() {
  platform::Printer* printer = context_.platform.printer;
  std::string error = "no printer is available";
  if (printer != nullptr && printer->begin()) {
    printer->set_orientation(platform::PageOrientation::Portrait);
    // The origin 400 twips right of and 600 twips below the printable area's corner.
    printer->set_scale(-400, -600, printer->page_width_twips(), printer->page_height_twips());
    printer->set_font_size(12);
    printer->set_colour(0);  // black on the white page, whatever the chart was printed in
    printer->set_position(0, 0);
    // Blank lines and spaces at the end would only leave an empty block before the held list.
    std::string text = context_.window["nt1"].caption;
    text.erase(text.find_last_not_of(std::string_view(" \t\r\n\0", 5)) + 1);
    printer->print(notes_with_held_lines(text, context_.state.held));
    if (printer->end_document()) return;
    error = printer->error();
  } else if (printer != nullptr) {
    error = printer->error();
  }
  context_.platform.dialogs.message_box("Cannot print the notes: " + error + ".", "Print notes",
                                        platform::MessageIcon::Exclamation,
                                        platform::MessageButtons::Ok);
}

}  // namespace zetra::files
