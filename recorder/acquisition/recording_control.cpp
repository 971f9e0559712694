#include "recorder/acquisition/recording_control.h"

#include "recorder/acquisition/run_state.h"

namespace zetra {
namespace {

// Locked while recording runs: files, edits, the link and the acquisition settings.
constexpr const char* kLockedWhileRecording[] = {
    "pnew", "popen", "psave", "psaveas", "pprint", "pexit", "pcop", "psr", "psrs", "pcut",
    "pcopy", "ppaste", "pdelete", "pcleara", "copen", "csave", "ccut", "ccopy", "cpaste",
    "cdeleta", "cprint"};

}  // namespace

void RecordingControl::bind() {
  WindowModel& window = context_.window;
  window.on("crec", [this] {
    if (recording(context_.window)) {
      stop_recording();
    } else {
      start_recording();
    }
  });
  window.on("cre", [this] {
    if (exam_mode(context_.window)) {
      leave_exam_mode();
    } else {
      enter_exam_mode();
    }
  });
  window.on("cmarker", [this] { context_.state.marker_pending = 1; });
}

void RecordingControl::set_file_and_edit_controls(bool enabled) {
  for (const char* name : kLockedWhileRecording) {
    context_.window[name].enabled = enabled;
  }
  context_.window["cmarker"].enabled = !enabled;
}

// The chart follows the newest samples again: the last tenth of the view is left free.
void RecordingControl::follow_newest() {
  RecorderState& s = context_.state;
  s.shown_count = s.rec_next;
  s.view_start = s.rec_next <= s.view_width ? 1.0f : s.rec_next - 0.9f * s.view_width;
  s.pen_x = 1;
  Procedures::call(context_.procedures.nhs1_setb);
  Procedures::call(context_.procedures.r_line);
  context_.window["Timer2"].enabled = true;
}

// Captions, locks and the chart pointer of the Recording state (on) or the Connected state.
void RecordingControl::show_recording(bool on) {
  WindowModel& window = context_.window;
  window["crec"].caption = on ? "Stop" : "Rec";
  window["conoff"].enabled = !on;
  window["cre"].enabled = on;
  set_file_and_edit_controls(!on);
  window["p1"].pointer = on ? Pointer::Default : Pointer::Cross;
}

// New samples go after the newest: the steps recorded so far would no longer fit the recording,
// so the history starts afresh with each recording run.
void RecordingControl::start_recording() {
  context_.state.history.clear();
  context_.state.recording_stopped = false;
  show_recording(true);
  Procedures::call(context_.procedures.show_history);
  follow_newest();
}

void RecordingControl::stop_recording() {
  show_recording(false);
  Procedures::call(context_.procedures.show_history);
  context_.window["Timer2"].enabled = false;
  Procedures::call(context_.procedures.nhs1_set);
  context_.state.recording_stopped = true;  // the notice keeps the length, marked as stopped
  Procedures::call(context_.procedures.show_recording_notice);
}

// Acquisition and storing go on; only the chart stops following the newest samples.
void RecordingControl::enter_exam_mode() {
  WindowModel& window = context_.window;
  window["cre"].caption = "norm";
  window["crec"].enabled = false;
  window["Timer2"].enabled = false;
  window["p1"].pointer = Pointer::Cross;
  Procedures::call(context_.procedures.nhs1_set);
}

void RecordingControl::leave_exam_mode() {
  WindowModel& window = context_.window;
  window["cre"].caption = "exam";
  window["crec"].enabled = true;
  window["p1"].pointer = Pointer::Default;
  follow_newest();
}

}  // namespace zetra
