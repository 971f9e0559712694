// The readout templates and the live readouts that Timer3 writes.
#include <gtest/gtest.h>

#include "recorder/chart/readouts.h"
#include "recorder/numbers/number_format.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::chart {
namespace {

using numbers::format_readout;
using testing::RecorderHarness;

TEST(ReadoutTemplate, BothRangesBothSignsAndOverflow) {
  EXPECT_EQ(format_readout(12.5, false, "pA"), "+000'012.5 pA");
  EXPECT_EQ(format_readout(-12.5, false, "pA"), "- 000'012.5 pA");
  EXPECT_EQ(format_readout(0, false, "pA"), "+000'000.0 pA");
  EXPECT_EQ(format_readout(0.05, false, "nM"), "+000'000.1 nM");   // halves away from zero
  EXPECT_EQ(format_readout(-0.25, false, "nM"), "- 000'000.3 nM");
  EXPECT_EQ(format_readout(999999.96, false, "pA"), "+1000'000.0 pA");  // extra digit at the left
  EXPECT_EQ(format_readout(1234, true, "pA"), "+0'001'234 pA");
  EXPECT_EQ(format_readout(-1234.5, true, "pA"), "- 0'001'235 pA");
  EXPECT_EQ(format_readout(2.5, true, "nM"), "+0'000'003 nM");
  EXPECT_EQ(format_readout(123456789, true, "pA"), "+123'456'789 pA");
  EXPECT_EQ(numbers::format_temperature(36.1f), "36.10" + std::string(numbers::kDegreeSign) + "C");
  EXPECT_EQ(numbers::format_time_label(150), "150s/2.5m");
}

TEST(Readouts, UnitsSwapAtTheNextTickAndCompensationApplies) {
  RecorderHarness h;
  RecorderState& s = h.state();
  WindowModel& w = h.window();
  s.live_cur1 = 1234;
  s.live_cur2 = -50;
  s.live_temp1 = 24.55f;
  s.live_temp2 = 30;
  s.range1 = 1;  // CH1 high range
  h.recorder.tick("Timer3");
  EXPECT_EQ(w["t2"].caption, "+0'001'234 pA");
  EXPECT_EQ(w["t1"].caption, "+0'001'234 nM");
  EXPECT_EQ(w["t22"].caption, "- 000'050.0 pA");
  EXPECT_EQ(w["t12"].caption, "- 000'025.0 nM");
  EXPECT_EQ(w["t42"].caption, "30.00" + std::string(numbers::kDegreeSign) + "C");
  h.recorder.press("psnm");
  EXPECT_EQ(w["t2"].caption, "+0'001'234 pA");  // unchanged until the tick
  h.recorder.tick("Timer3");
  EXPECT_EQ(w["t22"].caption, "- 000'025.0 nM");
  EXPECT_EQ(w["t12"].caption, "- 000'050.0 pA");
  // Compensation: at tc_start the current is unchanged; 5.45 degrees above takes 545 pA.
  h.recorder.press("ptcmo");
  h.recorder.tick("Timer3");
  EXPECT_EQ(w["t1"].caption, "+0'001'234 pA");
  EXPECT_EQ(w["t12"].caption, "- 000'595.0 pA");
}

}  // namespace
}  // namespace zetra::chart

namespace zetra::chart {
namespace {

// While recording, the status field tells the recording's length and the memory's fill.
TEST(RecordingNotice, StatusFieldShowsLengthAndFillWhileRecording) {
  testing::TempFolder folder;  // a folder the recovery journal can be written in
  testing::RecorderHarness h(testing::Transport::Usb, folder.path());
  h.connect();
  h.recorder.press("crec");
  for (int k = 0; k < 4; ++k) h.recorder.tick("Timer1");
  h.recorder.tick("Timer3");
  EXPECT_EQ(h.state().recording_notice, "00:00:02 \xC2\xB7 4 of 100,000 samples");
  EXPECT_EQ(h.window()["stfield"].caption.find("00:00:02 \xC2\xB7 4 of 100,000 samples"), 0u)
      << h.window()["stfield"].caption;
  h.state().rec_next = 3757;
  h.recorder.tick("Timer3");
  EXPECT_EQ(h.state().recording_notice, "00:31:18 \xC2\xB7 3,756 of 100,000 samples");
  h.recorder.press("crec");  // stop: the length and count stay, marked as stopped, at once
  const std::string stopped = "00:31:18 \xC2\xB7 3,756 of 100,000 samples \xC2\xB7 stopped";
  EXPECT_EQ(h.state().recording_notice, stopped);
  EXPECT_EQ(h.window()["stfield"].caption.find(stopped), 0u) << h.window()["stfield"].caption;
  h.recorder.tick("Timer3");
  EXPECT_EQ(h.state().recording_notice, stopped);
  h.recorder.press("crec");  // recording again: live, without "stopped"
  h.recorder.tick("Timer1");
  h.recorder.tick("Timer3");
  EXPECT_EQ(h.state().recording_notice, "00:31:18 \xC2\xB7 3,757 of 100,000 samples");
  h.recorder.press("crec");
  // Emptied (Delete all): nothing stopped is held any more.
  h.dialogs.message_answers = {platform::MessageAnswer::Ok};
  h.recorder.press("pcleara");
  h.recorder.tick("Timer3");
  EXPECT_EQ(h.state().recording_notice, "") << h.state().rec_next;
  EXPECT_EQ(h.window()["stfield"].caption.find("samples"), std::string::npos);
}

}  // namespace
}  // namespace zetra::chart
