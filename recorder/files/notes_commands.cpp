#include "recorder/files/notes_commands.h"

namespace zetra::files {

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
    printer->set_position(0, 0);
    printer->print(context_.window["nt1"].caption);
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
