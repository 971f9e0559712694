// Rec/Stop, examination mode and the marker through the run-state table of the window.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using testing::RecorderHarness;

constexpr const char* kLockedWhileRecording[] = {
    "pnew", "popen", "psave", "psaveas", "pprint", "pexit", "pcop", "psr", "psrs", "pcut",
    "pcopy", "ppaste", "pdelete", "pcleara", "copen", "csave", "ccut", "ccopy", "cpaste",
    "cdeleta", "cprint"};

void expect_locked(WindowModel& w, bool locked) {
  for (const char* name : kLockedWhileRecording) EXPECT_EQ(w[name].enabled, !locked) << name;
  EXPECT_EQ(w["cmarker"].enabled, locked);
}

TEST(StartUp, OpensIdleWithTheDefaultsAndTheCaption) {
  RecorderHarness h;
  WindowModel& w = h.window();
  EXPECT_EQ(w["conoff"].caption, "On");
  EXPECT_TRUE(w["conoff"].enabled);
  for (const char* name : {"copen", "csave", "ccut", "ccopy", "cpaste", "cdeleta", "cprint"}) {
    EXPECT_TRUE(w[name].enabled) << name;
  }
  for (const char* name :
       {"crec", "cre", "cmarker", "czero", "coz", "ccal", "czero2", "coz2", "ccal2"}) {
    EXPECT_FALSE(w[name].enabled) << name;
  }
  EXPECT_FALSE(w["Timer1"].enabled);
  EXPECT_EQ(w["Timer1"].interval_ms, 500);
  EXPECT_TRUE(w["Timer2"].enabled && w["Timer3"].enabled);
  EXPECT_EQ(w["Timer2"].interval_ms, 400);
  EXPECT_EQ(w["Timer3"].interval_ms, 700);
  const RecorderState& s = h.state();
  EXPECT_EQ(s.rec_next, 1.0f);
  EXPECT_EQ(s.rec_capacity, 100000.0f);
  EXPECT_EQ(s.rec_cur1.size(), 100001u);
  // The program's folder and the name, joined by the system's separator.
  const std::string file1 = platform::join_path("/opt/zetra", "file1.ztr");
  EXPECT_EQ(s.file_name, file1);
  EXPECT_EQ(s.window_caption, "ZetraII [ " + file1 + " ]");
  EXPECT_EQ(s.help_file, platform::join_path("/opt/zetra", "zetrat.html"));
  EXPECT_EQ(s.view_width, 400.0f);
  EXPECT_EQ(s.filter_order, 8);  // averages eight readings, as the checked item says
  EXPECT_TRUE(w["porder8"].checked);
  EXPECT_EQ(w["nvs1"].value, -10);
  EXPECT_EQ(s.vs1_request, 0);
}

TEST(Recording, WalksThroughTheRunStates) {
  RecorderHarness h;
  WindowModel& w = h.window();
  h.connect();
  EXPECT_FALSE(w["psetup"].enabled);
  h.recorder.press("crec");  // Connected -> Recording
  EXPECT_EQ(w["crec"].caption, "Stop");
  EXPECT_FALSE(w["conoff"].enabled);
  EXPECT_TRUE(w["cre"].enabled);
  EXPECT_TRUE(w["Timer2"].enabled);
  expect_locked(w, true);
  EXPECT_FALSE(h.recorder.press("conoff"));  // the link cannot close during a recording

  h.recorder.press("cre");  // Recording -> examination
  EXPECT_EQ(w["cre"].caption, "norm");
  EXPECT_FALSE(w["crec"].enabled);
  EXPECT_FALSE(w["Timer2"].enabled);
  EXPECT_EQ(w["p1"].pointer, Pointer::Cross);
  const float before = h.state().rec_next;
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().rec_next, before + 1);  // storing goes on while the chart stands still

  h.recorder.press("cre");  // back to Recording
  EXPECT_EQ(w["cre"].caption, "exam");
  EXPECT_TRUE(w["crec"].enabled);
  EXPECT_TRUE(w["Timer2"].enabled);
  EXPECT_EQ(w["p1"].pointer, Pointer::Default);

  h.recorder.press("crec");  // Recording -> Connected
  EXPECT_EQ(w["crec"].caption, "Rec");
  EXPECT_TRUE(w["conoff"].enabled);
  EXPECT_FALSE(w["cre"].enabled);
  EXPECT_FALSE(w["Timer2"].enabled);
  EXPECT_EQ(w["p1"].pointer, Pointer::Cross);
  expect_locked(w, false);
  h.recorder.press("conoff");  // Connected -> Idle
  EXPECT_TRUE(w["psetup"].enabled);
  EXPECT_FALSE(w["crec"].enabled);
}

TEST(Recording, RecStopRecContinuesTheRecordingAndFollowsTheNewest) {
  RecorderHarness h;
  h.connect();
  h.recorder.press("crec");
  for (int n = 0; n < 450; ++n) h.recorder.tick("Timer1");
  h.recorder.press("crec");
  EXPECT_EQ(h.state().rec_next, 451.0f);
  h.recorder.press("crec");
  EXPECT_EQ(h.state().shown_count, 451.0f);
  EXPECT_FLOAT_EQ(h.state().view_start, 451.0f - 0.9f * 400.0f);
  EXPECT_EQ(h.state().pen_x, 359.0f);  // the redraw leaves the pen at the newest sample, 450
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().rec_next, 452.0f);
}

TEST(Recording, TheMarkerButtonAsksForAMarker) {
  RecorderHarness h;
  h.connect();
  EXPECT_FALSE(h.recorder.press("cmarker"));  // only while recording
  h.recorder.press("crec");
  EXPECT_TRUE(h.recorder.press("cmarker"));
  EXPECT_EQ(h.state().marker_pending, 1);
  EXPECT_EQ(h.window()["cmarker"].caption, "Mkr");
  EXPECT_EQ(h.window()["cmarker"].tool_tip, "Marker");
}

}  // namespace
}  // namespace zetra
