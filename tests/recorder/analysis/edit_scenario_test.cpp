// An operator's session through the whole recorder: record, stop, select with the mouse, read a
// measurement, copy, cut, paste back and delete everything.
#include <gtest/gtest.h>

#include "recorder/analysis/clipboard_text.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using testing::RecorderHarness;

TEST(EditScenario, SelectMeasureCopyCutPasteAndDeleteAll) {
  RecorderHarness h;
  WindowModel& w = h.window();
  RecorderState& s = h.state();
  h.connect();
  h.recorder.press("crec");
  for (int n = 0; n < 300; ++n) h.recorder.tick("Timer1");
  h.recorder.tick("Timer2");  // the live plotter takes the newest count
  h.recorder.press("crec");  // stop: the chart takes the mouse
  ASSERT_EQ(s.rec_next, 301.0f);
  for (size_t k = 1; k <= 300; ++k) {
    s.rec_cur1[k] = static_cast<float>(k);
    s.rec_cur2[k] = 10.0f;
    s.rec_temp1[k] = s.rec_temp2[k] = 25.0f;
  }
  w.check("pmax");
  w.mouse_down({1, 0, 40.0f, 0});
  w.mouse_move({1, 0, 60.0f, 0});
  w.mouse_up({1, 0, 60.0f, 0});
  const std::string status = w["st1"].caption;
  const std::string readout = "          Max:  " + std::string("60.0 pA   60.0 nM   25.00\u00B0C");
  EXPECT_NE(status.find(readout), std::string::npos) << status;
  EXPECT_EQ(status.rfind("DIV: ", 0), 0u);

  EXPECT_TRUE(h.recorder.press("ccopy"));
  EXPECT_EQ(s.clip_count, 20.0f);
  EXPECT_EQ(h.clipboard.text,
            analysis::table_text(s, s, analysis::TableRange{41.0f, 41, 20}));
  EXPECT_EQ(w["p1"].pointer, Pointer::Cross);

  const std::vector<float> before(s.rec_cur1.data() + 1, s.rec_cur1.data() + 301);
  EXPECT_TRUE(h.recorder.press("pcut"));
  EXPECT_EQ(s.rec_next, 281.0f);
  EXPECT_EQ(s.sel_start, 0.0f);  // the redraw dropped the selection
  EXPECT_EQ(s.rec_cur1[41], 61.0f);
  w.mouse_down({1, 0, 40.0f, 0});
  w.mouse_up({1, 0, 40.0f, 0});
  EXPECT_TRUE(h.recorder.press("cpaste"));
  EXPECT_EQ(s.rec_next, 301.0f);
  EXPECT_EQ(std::vector<float>(s.rec_cur1.data() + 1, s.rec_cur1.data() + 301), before);

  h.dialogs.message_answers = {platform::MessageAnswer::Ok};
  EXPECT_TRUE(h.recorder.press("pcleara"));
  EXPECT_EQ(s.rec_next, 1.0f);
  EXPECT_EQ(s.clip_count, 20.0f);
}

}  // namespace
}  // namespace zetra
