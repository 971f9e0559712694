#include "recorder/files/recording_commands.h"

#include <utility>

#include "platform/file_system.h"

#include "recorder/chart/scale_menus.h"
#include "recorder/files/notes_text.h"
#include "recorder/window/change_tracking.h"
#include "recorder/window/recording_steps.h"
#include "recorder/window/tc_mode.h"
#include "recorder/window/unsaved_guard.h"

namespace zetra::files {

using platform::MessageButtons;
using platform::MessageIcon;

namespace {

constexpr const char* kNewTitle = "Open a new file and delete all the data !";
constexpr const char* kOpenTitle = "Open a file";
constexpr const char* kSaveAsTitle = "Save a file as";

// Whether `name` is a file on disk other than `current` (none: any file on disk).
bool names_another_file(const std::string& name, const std::string* current) {
  platform::FileStatus status, current_status;
  if (platform::examine(name, status) != 0 || !status.exists()) return false;
  if (current == nullptr) return true;
  if (platform::examine(*current, current_status) == 0 && status.same_file(current_status)) {
    return false;
  }
  return name != *current;
}

}  // namespace

std::string notes_field(const RecorderState& s, const WindowModel& window) {
  return notes_field(s, window, s.held);
}

std::string notes_field(const RecorderState& s, const WindowModel& window,
                        const HeldStretches& held) {
  return compose_notes_field(window["nt1"].caption, s.notes_line_break, held).field;
}

RecordingHeader header_from(const RecorderState& s, const WindowModel& window) {
  RecordingHeader h;
  h.rec_capacity = s.rec_capacity;
  h.rec_next = s.rec_next;
  h.shown_count = s.shown_count;
  h.view_start = s.view_start;
  h.view_width = s.view_width;
  h.span1 = s.span1;
  h.span2 = s.span2;
  h.offset1 = s.offset1;
  h.offset2 = s.offset2;
  h.sample_interval = s.sample_interval;
  h.pa_per_nm1 = s.pa_per_nm1;
  h.pa_per_nm2 = s.pa_per_nm2;
  h.tspan1 = s.tspan1;
  h.tspan2 = s.tspan2;
  h.tbase1 = s.tbase1;
  h.tbase2 = s.tbase2;
  h.color_cur1 = s.color_cur1;
  h.color_cur2 = s.color_cur2;
  h.color_temp1 = s.color_temp1;
  h.color_temp2 = s.color_temp2;
  h.tc_start1 = s.tc_start1;
  h.tc_start2 = s.tc_start2;
  h.tc_factor1 = s.tc_factor1;
  h.tc_factor2 = s.tc_factor2;
  h.tc_off = window["ptcmf"].checked ? 1 : 0;
  return h;
}

void RecordingCommands::bind() {
  WindowModel& window = context_.window;
  window.on("pnew", [this] { new_file(); });
  window.on("popen", [this] { open(); });
  window.on("copen", [this] { open(); });
  window.on("psave", [this] { save(); });
  window.on("csave", [this] { save(); });
  window.on("psaveas", [this] { save_as(); });
  window.on("nt1", [this] { note_change(context_); });  // notes typed
  context_.procedures.save_recording = [this] { return save(); };
}

void RecordingCommands::busy() {
  context_.window.screen_pointer = Pointer::Busy;
  context_.window["p1"].pointer = Pointer::Busy;
}

void RecordingCommands::idle() {
  context_.window.screen_pointer = Pointer::Default;
  context_.window["p1"].pointer = Pointer::Cross;
}

void RecordingCommands::set_caption() {
  RecorderState& s = context_.state;
  s.window_caption = "ZetraII [ " + s.file_name + " ]";
}

bool RecordingCommands::may_replace(const std::string& name, const std::string& title,
                                    bool current_too) {
  if (!names_another_file(name, current_too ? nullptr : &context_.state.file_name)) return true;
  return context_.platform.dialogs.message_box(name + " already exists. Replace it?", title,
                                               MessageIcon::Exclamation, MessageButtons::YesNo) ==
         platform::MessageAnswer::Yes;
}

// The old recording, notes and name wait for Undo; a New over nothing leaves nothing unsaved.
// The new recording's next Save would replace the chosen file, the current one included: a file
// that exists is replaced only when the user says so.
void RecordingCommands::new_file() {
  RecorderState& s = context_.state;
  if (!may_discard_changes(context_, kNewTitle)) return;
  const std::string name =
      context_.platform.dialogs.open_file(kNewTitle, kZtrFilter, "ztr", s.file_name);
  if (name.empty() || !may_replace(name, kNewTitle, true)) return;
  const bool step = holds_anything(s, context_.window);
  RecordingSnapshot before = take_snapshot(s, context_.window);
  StoreChange undo = step ? set_aside_arrays(s) : StoreChange{};
  s.file_name = name;
  remember_file(name);  // a file that exists there was just confirmed
  Procedures::call(context_.procedures.clsp1);
  Procedures::call(context_.procedures.r_line);
  set_caption();
  if (step) {
    record_step(context_, std::move(before), std::move(undo));
  } else {
    note_clean(context_);
  }
}

void RecordingCommands::adopt_recovered(const std::string& name, const FileIdentity& identity) {
  known_name_.clear();
  recovered_name_ = name;
  recovered_identity_ = identity;
  set_caption();
}

// A file another program changed since the recording was journaled is replaced only on Yes.
bool RecordingCommands::replace_confirmed(const std::string& path, const std::string& title) {
  if (recovered_name_.empty() || path != recovered_name_) return true;
  const FileIdentity now = identity_of(path);
  if (!now.exists || now == recovered_identity_) return true;
  return may_replace(path, title, true);
}

void RecordingCommands::remember_file(const std::string& path) {
  known_name_ = path;
  if (platform::examine(path, known_status_) != 0) known_status_ = {};
}

bool RecordingCommands::save_confirmed(const std::string& path) {
  if (!recovered_name_.empty() && path == recovered_name_) return replace_confirmed(path, "Save");
  platform::FileStatus now;
  // Nothing there, or no file to replace (the writer refuses a folder or device with its reason).
  if (platform::examine(path, now) != 0 || now.kind != platform::FileKind::Regular) return true;
  const platform::FileStatus& was = known_status_;
  // The same file also under another spelling of its name ("C:/a" and "C:\a", a hard link),
  // where the system tells its identity.
  const bool same_name = path == known_name_ || (now.index != 0 && !known_name_.empty());
  const bool unchanged = same_name && now.same_file(was) && now.size == was.size &&
                         now.mtime_ns == was.mtime_ns;
  return unchanged || may_replace(path, "Save", true);
}

bool RecordingCommands::save() {
  const RecorderState& s = context_.state;
  if (!(s.rec_next > 2)) return true;  // fewer than two samples: nothing to save
  if (!s.file_name.empty() && !save_confirmed(s.file_name)) return false;
  busy();
  const bool ok = s.file_name.empty() || write(s.file_name);
  idle();
  return ok;
}

void RecordingCommands::save_as() {
  RecorderState& s = context_.state;
  const std::string name =
      context_.platform.dialogs.save_file(kSaveAsTitle, kZtrFilter, "ztr", s.file_name);
  if (!(s.rec_next > 1) || name.empty() || !may_replace(name, kSaveAsTitle, false)) return;
  if (!replace_confirmed(name, kSaveAsTitle)) return;  // the recovered file, changed since
  busy();
  if (write(name)) s.file_name = name;  // a failed write leaves the current name as it was
  set_caption();
  idle();
}

bool RecordingCommands::write(const std::string& path) {
  const RecorderState& s = context_.state;
  const TraceView traces{s.rec_cur1.data(), s.rec_cur2.data(), s.rec_temp1.data(),
                         s.rec_temp2.data(), s.rec_cur1.size()};
  const std::string notes = notes_field(s, context_.window);
  bool read_only = false;
  const std::string error =
      write_recording(path, header_from(s, context_.window), notes, traces, faults, &read_only);
  if (!error.empty()) {
    // A save that failed writing this session's own file in place changed it: it stays this
    // session's file, not one that another program changed.
    if (path == known_name_) remember_file(path);
    context_.platform.dialogs.message_box(
        read_only ? error : "Cannot save " + path + ": " + error + ".", "Save",
        MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
  }
  recovered_name_.clear();
  remember_file(path);
  set_caption();
  note_saved(context_);
  if (on_written) on_written();
  return true;
}

void RecordingCommands::open() {
  if (!may_discard_changes(context_, kOpenTitle)) return;
  const std::string name = context_.platform.dialogs.open_file(kOpenTitle, kZtrFilter, "ztr", "");
  busy();
  if (!name.empty()) open_path(name);
  idle();
}

bool RecordingCommands::open_path(const std::string& path) {
  LoadedRecording loaded;
  std::string error;
  if (!read_recording(path, loaded, error)) {
    context_.platform.dialogs.message_box("Cannot open " + path + ": " + error + ".",
                                          kOpenTitle, MessageIcon::Exclamation,
                                          MessageButtons::Ok);
    return false;
  }
  context_.state.file_name = path;
  recovered_name_.clear();
  remember_file(path);
  show_loaded_recording(context_, loaded);
  set_caption();
  note_opened(context_);
  return true;
}

void show_loaded_recording(RecorderContext& context, LoadedRecording& loaded) {
  RecorderState& s = context.state;
  context.window["Timer2"].enabled = false;  // the live plotter would draw over the loaded chart
  s.recording_stopped = false;  // what was recorded here is no longer what memory holds
  Procedures::call(context.procedures.show_recording_notice);
  const RecordingHeader& h = loaded.header;
  s.rec_cur1 = std::move(loaded.cur1);
  s.rec_cur2 = std::move(loaded.cur2);
  s.rec_temp1 = std::move(loaded.temp1);
  s.rec_temp2 = std::move(loaded.temp2);
  s.rec_capacity = h.rec_capacity;
  s.rec_next = h.rec_next;
  s.shown_count = h.shown_count;
  s.view_start = h.view_start;
  s.view_width = h.view_width;
  s.span1 = h.span1;
  s.span2 = h.span2;
  s.offset1 = h.offset1;
  s.offset2 = h.offset2;
  s.sample_interval = h.sample_interval;
  s.pa_per_nm1 = h.pa_per_nm1;
  s.pa_per_nm2 = h.pa_per_nm2;
  s.tspan1 = h.tspan1;
  s.tspan2 = h.tspan2;
  s.tbase1 = h.tbase1;
  s.tbase2 = h.tbase2;
  s.color_cur1 = h.color_cur1;
  s.color_cur2 = h.color_cur2;
  s.color_temp1 = h.color_temp1;
  s.color_temp2 = h.color_temp2;
  s.tc_start1 = h.tc_start1;
  s.tc_start2 = h.tc_start2;
  s.tc_factor1 = h.tc_factor1;
  s.tc_factor2 = h.tc_factor2;
  // The pane shows the notes without the field's padding and without the list of held
  // stretches at its end, which the recorder keeps itself.
  NotesField notes = read_notes_field(loaded.notes, s.recorded_count());
  context.window["nt1"].caption = std::move(notes.text);
  s.notes_line_break = std::move(notes.line_break);
  s.held = std::move(notes.held);
  show_tc_mode(s, context.window, h.tc_off != 1);
  chart::bring_scale_controls_in_line(context);
  chart::set_up_horizontal_bar(context);
  Procedures::call(context.procedures.r_line);
  // Another recording: the steps of the old one no longer apply. It counts as a change until
  // whoever loaded it says it matches a file.
  s.history.clear();
  Procedures::call(context.procedures.show_history);
  note_change(context);
}

}  // namespace zetra::files
