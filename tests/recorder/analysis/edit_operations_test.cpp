// Copy, Cut, Paste, Delete, Delete all and Copy Wave Graph over the selection and the copy buffer.
#include "recorder/analysis/edit_operations.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "recorder/analysis/clipboard_text.h"
#include "tests/recorder/analysis/analysis_fixture.h"

namespace zetra::analysis {
namespace {

using testing::AnalysisFixture;

// Every sample different in all four traces, so a moved or lost sample always shows.
std::array<float, 4> distinct(int k) {
  const auto v = static_cast<float>(k);
  return {v, 1000.0f + v, 20.0f + v / 8.0f, 40.0f - v / 8.0f};
}

struct EditFixture : AnalysisFixture {
  explicit EditFixture(float capacity = 1000, int recorded = 100) : AnalysisFixture(capacity) {
    edits.bind();
    record(recorded, distinct);
  }
  EditOperations edits{context, &chart};
};

size_t line_count(const std::string& text) {
  size_t lines = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
    ++lines;
  }
  return lines;
}

TEST(Copy, TakesTheSamplesFromTheLeftEdgeUpToTheRightEdge) {
  EditFixture f;
  Pointer pointer_while_copying = Pointer::Default, chart_while_copying = Pointer::Default;
  f.clipboard.on_text = [&] {
    pointer_while_copying = f.window.screen_pointer;
    chart_while_copying = f.window["p1"].pointer;
  };
  f.select(15.0f, 10.0f);  // dragged leftwards; view_start 1: samples 11 .. 15
  EXPECT_TRUE(f.window.run("ccopy"));
  EXPECT_EQ(f.state.clip_count, 5.0f);
  ASSERT_EQ(f.state.clip_cur1.size(), 6u);
  for (size_t j = 1; j <= 5; ++j) {
    const std::array<float, 4> expected = distinct(static_cast<int>(10 + j));
    EXPECT_EQ(f.state.clip_cur1[j], expected[0]);
    EXPECT_EQ(f.state.clip_cur2[j], expected[1]);
    EXPECT_EQ(f.state.clip_temp1[j], expected[2]);
    EXPECT_EQ(f.state.clip_temp2[j], expected[3]);
  }
  EXPECT_EQ(f.clipboard.text, table_text(f.state, f.state, TableRange{11.0f, 11, 5}));
  EXPECT_EQ(line_count(f.clipboard.text), 6u);
  EXPECT_EQ(f.clipboard.text.substr(f.clipboard.text.size() - 2), "\r\n");
  EXPECT_EQ(pointer_while_copying, Pointer::Busy);
  EXPECT_EQ(chart_while_copying, Pointer::Busy);
  EXPECT_EQ(f.window.screen_pointer, Pointer::Default);
  EXPECT_EQ(f.window["p1"].pointer, Pointer::Cross);
  EXPECT_EQ(f.samples().size(), 100u);  // the recording is untouched
  EXPECT_EQ(f.r_lines, 0);

  f.select(10.0f, 15.3f);  // w = 5.3: six samples, 11 .. 16
  EXPECT_TRUE(f.window.run("pcopy"));
  EXPECT_EQ(f.state.clip_count, 6.0f);
  EXPECT_EQ(f.clipboard.text, table_text(f.state, f.state, TableRange{11.0f, 11, 6}));
}

TEST(Copy, HalfPositionsTakeConsecutiveSamplesAndKeepTheTimeFraction) {
  EditFixture f;
  f.select(10.5f, 14.5f);  // 11.5 -> sample 12, then 13, 14, 15
  ASSERT_TRUE(f.edits.copy());
  EXPECT_EQ(f.state.clip_count, 4.0f);
  EXPECT_EQ(f.state.clip_cur1[1], 12.0f);
  EXPECT_EQ(f.state.clip_cur1[4], 15.0f);
  EXPECT_EQ(f.clipboard.text.substr(f.clipboard.text.find("\r\n") + 2, 10), "5.8\t12.0\t1");
}

TEST(Copy, InvalidSelectionsChangeNothingAndLeaveTheClipboardAlone) {
  EditFixture f;
  for (auto [start, end] : {std::pair{10.0f, 10.0f}, std::pair{10.0f, 100.0f},
                            std::pair{-1.0f, 5.0f}, std::pair{100.5f, 20.0f}}) {
    f.select(start, end);  // no width; right edge at rec_next; left of index 0; beyond the data
    EXPECT_FALSE(f.edits.copy());
    EXPECT_FALSE(f.edits.cut());
    EXPECT_FALSE(f.edits.delete_selection());
  }
  EXPECT_EQ(f.clipboard.clears, 0);
  EXPECT_EQ(f.state.clip_count, 0.0f);
  EXPECT_EQ(f.state.rec_next, 101.0f);
  EXPECT_EQ(f.r_lines, 0);
}

TEST(Delete, RemovesCopysSamplesAndMovesEveryLaterOneDown) {
  for (float width : {5.0f, 4.5f}) {
    EditFixture f;
    f.select(20.0f, 20.0f + width);  // samples 21 .. 25 either way
    EXPECT_TRUE(f.window.run("cdeleta"));
    EXPECT_EQ(f.state.rec_next, 96.0f) << width;
    EXPECT_EQ(f.state.shown_count, 96.0f);
    const auto rows = f.samples();
    ASSERT_EQ(rows.size(), 95u);
    EXPECT_EQ(rows[19], distinct(20));
    EXPECT_EQ(rows[20], distinct(26));
    EXPECT_EQ(rows[94], distinct(100));  // the newest sample is kept
    EXPECT_EQ(f.calls, "nhs1_set ");
    EXPECT_EQ(f.r_lines, 1);
  }
}

TEST(Cut, PutsCopysTextOnTheClipboardThenDeletes) {
  EditFixture f;
  f.select(30.0f, 37.5f);
  ASSERT_TRUE(f.edits.copy());
  const std::string copied = f.clipboard.text;
  const float copied_count = f.state.clip_count;
  f.state.view_start = 1;
  f.select(30.0f, 37.5f);
  EXPECT_TRUE(f.window.run("ccut"));
  EXPECT_EQ(f.clipboard.text, copied);
  EXPECT_EQ(f.state.clip_count, copied_count);
  EXPECT_EQ(f.state.rec_next, 101.0f - copied_count);
  EXPECT_EQ(f.state.pen_x, f.state.shown_count - f.state.view_start);
  EXPECT_EQ(f.state.sel_start, 0.0f);  // the redraw dropped the selection
}

TEST(Paste, InsertsTheWholeBufferBeforeTheLeftEdgeSample) {
  EditFixture f;
  f.select(50.0f, 55.0f);  // samples 51 .. 55 into the buffer
  ASSERT_TRUE(f.edits.copy());
  f.select(19.0f, 25.0f);  // left edge: sample 20
  EXPECT_TRUE(f.window.run("ppaste"));
  EXPECT_EQ(f.state.rec_next, 106.0f);
  EXPECT_EQ(f.state.shown_count, 106.0f);
  const auto rows = f.samples();
  ASSERT_EQ(rows.size(), 105u);
  EXPECT_EQ(rows[18], distinct(19));
  for (int j = 0; j < 5; ++j) EXPECT_EQ(rows[19 + j], distinct(51 + j)) << j;
  for (int k = 20; k <= 100; ++k) EXPECT_EQ(rows[k + 4], distinct(k)) << k;
  EXPECT_EQ(f.calls, "nhs1_set ");
  // The buffer stays: the same stretch can go in again.
  f.select(0.0f, 2.0f);
  EXPECT_TRUE(f.edits.paste());
  EXPECT_EQ(f.state.rec_next, 111.0f);
  EXPECT_EQ(f.samples()[0], distinct(51));
}

TEST(Paste, IsRefusedWithoutABufferAWidthOrRoom) {
  EditFixture f(110);
  f.select(10.0f, 11.0f);
  EXPECT_FALSE(f.edits.paste());  // nothing copied yet
  ASSERT_TRUE(f.edits.copy());     // one sample
  EXPECT_FALSE(f.edits.paste());
  f.select(10.0f, 20.0f);
  ASSERT_TRUE(f.edits.copy());  // ten samples: 101 + 10 would pass the capacity of 110
  EXPECT_FALSE(f.edits.paste());
  f.select(10.0f, 19.0f);
  ASSERT_TRUE(f.edits.copy());  // nine samples fit exactly
  f.select(10.0f, 10.0f);
  EXPECT_FALSE(f.edits.paste());  // no width
  EXPECT_EQ(f.state.rec_next, 101.0f);
  EXPECT_EQ(f.r_lines, 0);
  f.select(10.0f, 10.5f);
  EXPECT_TRUE(f.edits.paste());
  EXPECT_EQ(f.state.rec_next, 110.0f);
}

TEST(Paste, PutsBackExactlyWhatACutTookFromTheSamePlace) {
  std::mt19937 random(4711);
  std::uniform_int_distribution<int> quarter(0, 4 * 180);
  int restored = 0;
  for (int round = 0; round < 200; ++round) {
    EditFixture f(400, 200);
    f.state.view_start = static_cast<float>(1 + round % 7);
    const auto original = f.samples();
    float a = static_cast<float>(quarter(random)) / 4 - f.state.view_start;
    float b = static_cast<float>(quarter(random)) / 4 - f.state.view_start;
    f.select(a, b);
    if (!f.edits.cut() || f.state.clip_count <= 1) continue;  // a paste needs two samples
    f.select(std::min(a, b), std::min(a, b) + 0.5f);
    ASSERT_TRUE(f.edits.paste()) << a << " .. " << b;
    EXPECT_EQ(f.samples(), original) << a << " .. " << b;
    ++restored;
  }
  EXPECT_GT(restored, 150);
}

TEST(DeleteAll, AsksAndEmptiesOnlyOnOk) {
  EditFixture f;
  f.select(1.0f, 3.0f);
  ASSERT_TRUE(f.edits.copy());
  f.dialogs.message_answers = {platform::MessageAnswer::Cancel, platform::MessageAnswer::Ok};
  EXPECT_TRUE(f.window.run("pcleara"));
  ASSERT_EQ(f.dialogs.messages.size(), 1u);
  EXPECT_EQ(f.dialogs.messages[0].text, "Delete all data then start from the beginning");
  EXPECT_EQ(f.dialogs.messages[0].title, "Delete all");
  EXPECT_EQ(f.dialogs.messages[0].icon, platform::MessageIcon::Exclamation);
  EXPECT_EQ(f.dialogs.messages[0].buttons, platform::MessageButtons::OkCancel);
  EXPECT_EQ(f.state.rec_next, 101.0f);
  f.window.run("pcleara");
  EXPECT_EQ(f.calls, "clsp1 ");
  EXPECT_EQ(f.state.rec_next, 1.0f);
  EXPECT_EQ(f.state.clip_count, 2.0f);  // the buffer survives
}

TEST(Edits, FollowTheLiveChartAndLockWhileRecording) {
  EditFixture f;
  f.window["crec"].caption = "Stop";  // recording, exam mode on: the selection still works
  f.window["cre"].caption = "norm";
  f.select(10.0f, 12.0f);
  ASSERT_TRUE(f.edits.delete_selection());
  EXPECT_EQ(f.calls, "nhs1_set ");
  f.window["cre"].caption = "exam";  // the chart follows the newest samples
  f.select(10.0f, 12.0f);
  ASSERT_TRUE(f.edits.delete_selection());
  EXPECT_EQ(f.calls, "nhs1_set nhs1_setb ");
  f.window["ccopy"].enabled = f.window["pcopy"].enabled = false;
  EXPECT_FALSE(f.window.run("ccopy"));
  EXPECT_FALSE(f.window.run("pcopy"));
}

TEST(CopyWaveGraph, PutsTheChartPictureOnTheClipboard) {
  EditFixture f;
  f.clipboard.text = "old";
  EXPECT_TRUE(f.window.run("pcwg"));
  EXPECT_EQ(f.clipboard.clears, 1);
  EXPECT_TRUE(f.clipboard.text.empty());
  EXPECT_EQ(f.clipboard.bitmap.width, 2);
  EXPECT_EQ(f.clipboard.bitmap.pixels, f.chart.bitmap().pixels);
}

}  // namespace
}  // namespace zetra::analysis
