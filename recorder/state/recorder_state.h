// Every field of the running recorder under its own name. One object, owned by the main window,
// read and written directly by the handlers on the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/state/edit_history.h"
#include "recorder/state/recording_store.h"

namespace zetra {

// Ring length of the moving-average filter: slots 1..filter_order of 0..20 are used.
inline constexpr int kFilterSlots = 21;

struct AcquisitionWorkingState {
  // Working values of the current tick: bit accumulators, then filtered words, then units.
  float cur1 = 0, cur2 = 0, temp1 = 0, temp2 = 0;
  float cur1_unzeroed = 0, cur2_unzeroed = 0;  // pA before the zero offset, what a capture takes
  float cur1_lead = 0, cur2_lead = 0, temp1_lead = 0, temp2_lead = 0;  // 1.0 when lead bit set
  std::array<float, kFilterSlots> filter_hist1{};
  std::array<float, kFilterSlots> filter_hist2{};
  // Whether a tick has written the slot since start-up; one never written stands for the input
  // of the tick that averages it, so no reading is invented before the ring has filled.
  std::array<bool, kFilterSlots> filter_written{};
  int16_t filter_pos = 1;  // slot the next tick writes, 1..filter_order
  double filter_sum1 = 0;  // CH1 sum is double, CH2 sum is float, as the meter software always had
  float filter_sum2 = 0;
};

struct LiveValues {
  float live_cur1 = 0, live_cur2 = 0;    // pA: zeroed, filtered, marker dip included
  float live_temp1 = 0, live_temp2 = 0;  // deg C
  float range1 = 0, range2 = 0;          // 0 normal range, 1.0 high (x10) range
};

struct ConditioningSettings {
  float sample_interval = 0.5f;  // seconds between samples, 1 / rate
  int16_t filter_order = 8;      // moving-average length 1..10; 1 = no filtering
  int16_t zero_state1 = 0, zero_state2 = 0;  // 0 clear offset, 1 capture offset, 2 settled
  float zero_offset1 = 0, zero_offset2 = 0;  // normal-range pA (applied x10 in high range)
  float pa_per_nm1 = 1.0f, pa_per_nm2 = 2.0f;
  float tc_start1 = 24.55f, tc_start2 = 24.55f;    // deg C, reference of the compensation
  float tc_factor1 = 100.0f, tc_factor2 = 100.0f;  // pA per deg C
  bool tc_on = false;                              // mirrors the check of ptcmo
  uint8_t dev_no = 1;                              // device number for every library call
};

// Scale and view of the chart; the chart subsystem owns these, others read them.
struct ChartView {
  float view_width = 400;  // samples across the chart
  float view_start = 1;    // recording index at the left edge, never below 1
  float shown_count = 1;   // copy of rec_next taken by the chart
  float pen_x = 1;         // where the traces end, in samples from view_start
  float span1 = 2000, span2 = 5000;
  int16_t tspan1 = 100, tspan2 = 100;
  float offset1 = 200, offset2 = 0;
  float tbase1 = 0, tbase2 = 0;
  std::string label_time, label_div1, label_div2, label_tdiv1, label_tdiv2;
  int16_t hs_busy = 0, hs_request = 0;
  int16_t vs1_busy = 0, vs1_request = 0, vs12_busy = 0, vs12_request = 0;
  int16_t vs2_busy = 0, vs2_request = 0, vs22_busy = 0, vs22_request = 0;
};

// Pen memory and colours of the chart drawing.
struct ChartDrawing {
  float last_x1 = 0, last_v1 = 0, last_t1 = 0;  // CH1: x, value y, temperature y last plotted
  float last_x2 = 0, last_v2 = 0, last_t2 = 0;  // CH2; last_x2 always equals last_x1
  int16_t drawing = 0;  // 1 while r_line or r_linef runs: the live plotter skips its tick
  // Colours packed as blue x 65536 + green x 256 + red, held as floats.
  float color_back = 12648447, color_grid = 0;
  float color_cur1 = 16711680, color_cur2 = 65280;
  float color_temp1 = 255, color_temp2 = 16711935;
  // Window position and size, twips, when last neither minimised nor maximised.
  float win_top = 0, win_left = 0, win_height = 0, win_width = 0;
};

// The mouse selection on the chart and the measurements over it.
struct Selection {
  float sel_start = 0;  // chart x where the button went down
  float sel_end = 0;    // chart x of the moving edge
  float sel_scan = 0;   // running position of a measurement scan
  float mouse_down = 0;  // 1.0 from an accepted press to the next accepted release
  float meas1 = 0, meas2 = 0;  // working values of the measurement scans
  std::string readout;         // text of the last readout
  // Chart x of the pointer at its last move over the chart; negative once it left the chart.
  float hover_x = -1;
  float int_base1 = 0, int_base2 = 0;  // integral base lines, pA
};

// The internal copy buffer of Copy, Cut and Paste; indices 1..clip_count are used.
struct CopyBuffer {
  std::vector<float> clip_cur1, clip_cur2, clip_temp1, clip_temp2;
  float clip_count = 0;
  HeldStretches clip_held;  // the held samples among them, counted from 0 at index 1
};

struct FileState {
  std::string app_path;        // folder the program runs from
  std::string help_file;       // app_path + "zetrat.hlp"
  std::string file_name;       // current recording file
  std::string window_caption;  // "ZetraII [ " + file_name + " ]"
  // How the notes field of the recording's file breaks lines ("\r\n", "\r" or "\n"); the notes
  // pane always holds "\n", and a save writes the file's own breaks back.
  std::string notes_line_break = "\n";
};

// What the permanent field at the right of the status bar reports (the status field, `stfield`).
struct StatusNotices {
  std::string input_notice;    // why the last typed number was not taken as typed; empty after one
                               // that was
  std::string journal_notice;  // why the recovery journal cannot be written; empty while it can
  std::string link_notice;     // why no sample set arrives from the unit; empty while it answers
  std::string recording_notice;  // elapsed time and fill of a running or stopped recording
  // A recording was stopped and memory still holds it (not opened over, not emptied): the
  // notice keeps its length and count.
  bool recording_stopped = false;
  std::string notes_notice;  // room left in the notes field while the pane shows, or what is over
};

// Whether the recording and its notes differ from what was last opened or written.
struct ChangeTracking {
  uint64_t revision = 0;        // bumped by every change of samples or notes
  uint64_t saved_revision = 0;  // the revision last opened or written
  std::string saved_time;       // "hh:mm:ss" of the last successful open or write; empty before one
  bool opened = false;          // saved_time is when the file was opened, not written
  bool unsaved() const { return revision != saved_revision; }
};

struct RecorderState : RecordingStore,
                       AcquisitionWorkingState,
                       LiveValues,
                       ConditioningSettings,
                       ChartView,
                       ChartDrawing,
                       Selection,
                       CopyBuffer,
                       FileState,
                       StatusNotices,
                       ChangeTracking {
  int16_t marker_pending = 0;  // 1: the next successful tick puts a marker into CH1
  float delay_i = 0;           // scratch counter of the busy-wait loops, no meaning between uses
  EditHistory history;         // what Undo and Redo take back and make again
};

}  // namespace zetra
