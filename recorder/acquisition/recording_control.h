// Rec/Stop, the run-time examination mode and the marker.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra {

class RecordingControl {
 public:
  explicit RecordingControl(RecorderContext& context) : context_(context) {}

  void bind();

 private:
  void start_recording();
  void stop_recording();
  void enter_exam_mode();
  void leave_exam_mode();
  void follow_newest();
  void show_recording(bool on);
  void set_file_and_edit_controls(bool enabled);

  RecorderContext& context_;
};

}  // namespace zetra
