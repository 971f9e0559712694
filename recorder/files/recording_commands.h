// File menu commands on recordings: New, Open, Save and Save as (and the buttons copen, csave),
// the window caption and the busy pointers around them.
#pragma once

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "recorder/files/recording_file.h"
#include "recorder/window/recorder_context.h"

namespace zetra::files {

inline constexpr const char* kZtrFilter = "Zetra Files(*.ztr)|*.ztr|All Files(*.*)|*.*";

class RecordingCommands {
 public:
  explicit RecordingCommands(RecorderContext& context) : context_(context) {}

  void bind();

  void new_file();
  void open();
  // Save: false only when a write was attempted and failed (the user has been told why).
  bool save();
  void save_as();

  // Reads `path` into the recorder and brings every control in line; on failure tells the user
  // and leaves the recorder as it was.
  bool open_path(const std::string& path);

  // Runs after every successful write of the recording (Save, Save as, Save on exit).
  std::function<void()> on_written;

  // After a recovery: the recording belongs to `name`, which was as `identity` says when the
  // journal named it. Until the next write or Open, Save (and Save as to that name) asks before
  // replacing that file if it has changed on disk since.
  void adopt_recovered(const std::string& name, const FileIdentity& identity);

  // Test seam: the next writes fail at this step.
  FaultPlan* faults = nullptr;

 private:
  bool write(const std::string& path);
  bool replace_confirmed(const std::string& path, const std::string& title);
  // Save asks before replacing a file unless it is the one this session opened or last saved
  // and has not changed on disk since (size, modification time and identity).
  bool save_confirmed(const std::string& path);
  void remember_file(const std::string& path);
  // "<name> already exists. Replace it?" when `name` is a file on disk other than the current
  // one (`current_too`: any file on disk). False when the answer is No.
  bool may_replace(const std::string& name, const std::string& title, bool current_too);
  void set_caption();
  void busy();
  void idle();

  RecorderContext& context_;
  std::string recovered_name_;  // empty when Save need not ask
  FileIdentity recovered_identity_;
  std::string known_name_;  // the file this session opened or last saved (or chose by New)
  platform::FileStatus known_status_;  // that file as it was then
};

// Makes a loaded recording the current one: store, scales, colours, compensation and notes, every
// control brought in line, the live plotter off and the chart redrawn.
void show_loaded_recording(RecorderContext& context, LoadedRecording& loaded);

// The settings block of a recording file from the recorder's fields and controls.
RecordingHeader header_from(const RecorderState& state, const WindowModel& window);

}  // namespace zetra::files
