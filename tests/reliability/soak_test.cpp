// Soak: acquisition, live plotter and readouts over the stand-in unit at accelerated ticks until
// the store is full, with scrolling, selecting and measuring in between; the heap stays flat once
// the store is allocated, and a full store goes on showing live values while storing nothing.
// ctest runs it on the 100K store; ZETRA_SOAK_MEMORY=5M runs the full soak (see README).
#include <malloc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "recorder/files/files_subsystem.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

size_t heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;  // small blocks in use plus mapped large ones
}

// Exam mode: scroll back through the recording, select a stretch with the mouse (which measures
// it), then return to the live chart.
void examine(testing::RecorderHarness& h, testing::TimerClock& clock, int round) {
  WindowModel& w = h.window();
  h.recorder.press("cre");
  ASSERT_EQ(w["cre"].caption, "norm");
  const Control& bar = w["nhs1"];
  w.scroll("nhs1", bar.minimum + (bar.maximum - bar.minimum) * (round % 5) / 5);
  clock.advance(700);  // Timer3 serves the scroll request
  w.mouse_down({1, 0, 20.0f + static_cast<float>(round % 50), 100});
  w.mouse_move({1, 0, 150.0f, 100});
  w.mouse_up({1, 0, 150.0f, 100});
  h.recorder.press("cre");
  ASSERT_EQ(w["cre"].caption, "exam");
}

TEST(Soak, StoreFillsWithFlatMemoryThenKeepsShowingLiveValuesAndStoresNothing) {
  const char* memory = std::getenv("ZETRA_SOAK_MEMORY");
  const std::string size = memory != nullptr ? memory : "100K";
  const std::string item = size == "5M" ? "pr5m" : size == "1M" ? "pr1m" : "pr100";
  testing::TempFolder folder;
  testing::RecorderHarness h(testing::Transport::Usb, folder.path());
  h.library.use_source(1, h.library.model(1));
  ASSERT_TRUE(h.recorder.press(item));
  ASSERT_TRUE(h.recorder.press("p5s1"));
  h.connect();
  h.recorder.press("crec");
  testing::TimerClock clock(h.recorder);
  RecorderState& s = h.state();
  const float capacity = s.rec_capacity;
  const auto samples_per_round = static_cast<int64_t>(capacity / 20);

  size_t baseline = 0;
  for (int round = 0; s.rec_next < capacity; ++round) {
    ASSERT_LT(round, 25) << "the store does not fill";
    clock.advance(samples_per_round * 200);
    examine(h, clock, round);
    h.chart_surface.forget();  // the test's fake keeps what is drawn; the program keeps nothing
    h.window_layer.forget();
    h.library.clear_calls();  // and the stand-in library logs every call
    malloc_trim(0);
    if (round == 1) baseline = heap_in_use();
    if (round > 1) {
      EXPECT_LT(heap_in_use(), baseline + (4u << 20)) << "round " << round;
    }
  }
  ASSERT_EQ(s.rec_next, capacity);

  // Full: live values and readouts go on, nothing is stored, crec still reads Stop, nothing asked.
  const float cur1 = s.live_cur1;
  const std::string readout = h.window()["t1"].caption;
  const float last = s.rec_cur1[static_cast<size_t>(capacity) - 1];
  clock.advance(60000);
  EXPECT_EQ(s.rec_next, capacity);
  EXPECT_EQ(s.rec_cur1[static_cast<size_t>(capacity) - 1], last);
  EXPECT_EQ(s.rec_cur1[static_cast<size_t>(capacity)], 0.0f) << "index rec_capacity is never written";
  EXPECT_NE(s.live_cur1, cur1);
  EXPECT_NE(h.window()["t1"].caption, readout);
  EXPECT_EQ(h.window()["crec"].caption, "Stop");
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_EQ(h.recorder.files().journal.journaled_end(), static_cast<size_t>(capacity));
  EXPECT_EQ(h.recorder.files().journal.error(), "");
}

}  // namespace
}  // namespace zetra
