// The settings file through exit and start-up, every field at its offset; the exit question's
// three answers; the notes pane and Print notes.
#include "recorder/files/settings_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "recorder/files/files_subsystem.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using platform::MessageAnswer;
using testing::float_at;
using testing::int16_at;
using testing::RecorderHarness;
using testing::Transport;

class SettingsTest : public ::testing::Test {
 protected:
  // Ends the program through Exit answered No (or Yes), as the operator would.
  void exit_with(RecorderHarness& h, MessageAnswer answer) {
    h.recorder.procedures().end_program = [this] { ++ended; };
    h.dialogs.message_answers = {answer};
    h.window().invoke("pexit");
  }

  testing::TempFolder folder;
  std::string settings = folder.file("zetrat.set");
  int ended = 0;
};

TEST_F(SettingsTest, EveryFieldAtItsOffsetAndBackAtTheNextStart) {
  {
    RecorderHarness h(Transport::Usb, folder.path());
    EXPECT_FALSE(std::filesystem::exists(settings));  // start-up does not create it
    RecorderState& s = h.state();
    h.recorder.press("pusb3");
    h.recorder.press("p5s1");     // 5 per second
    h.recorder.press("pr500");    // 500K
    h.recorder.press("pt100s");   // view_width 10000
    h.recorder.press("ppn5000");  // span1 50000
    h.recorder.press("ppn202");   // span2 200
    h.recorder.press("pt05");     // tspan1 5
    h.recorder.press("pt152");    // tspan2 150
    h.recorder.press("psnm");
    h.recorder.press("pl3");
    h.recorder.press("pgoff");
    h.recorder.press("ptloff");
    h.recorder.press("ptcmo");
    s.pa_per_nm1 = 1.5f;
    s.pa_per_nm2 = 2.5f;
    s.offset1 = 5000;
    s.offset2 = -20;
    s.tbase1 = 10;
    s.tbase2 = -30;
    s.color_back = 1, s.color_grid = 2, s.color_cur1 = 3, s.color_cur2 = 4;
    s.color_temp1 = 5, s.color_temp2 = 6;
    s.tc_start1 = 21.5f, s.tc_start2 = 22.5f, s.tc_factor1 = -7, s.tc_factor2 = 8;
    h.frame.current = {1500, 3000, 8000, 12000};
    exit_with(h, MessageAnswer::No);
    EXPECT_EQ(ended, 1);
  }
  const auto b = testing::read_bytes(settings);
  ASSERT_EQ(b.size(), 118u);
  const std::pair<size_t, float> floats[] = {
      {0, 1.5f},   {4, 0.2f},     {8, 500000}, {12, 10000}, {16, 50000}, {20, 5000},
      {24, 1500},  {28, 3000},    {32, 8000},  {36, 12000}, {48, 1},     {52, 2},
      {56, 3},     {64, 10},      {68, 5},     {72, 21.5f}, {76, -7},    {84, 2.5f},
      {88, 200},   {92, -20},     {96, 6},     {100, 4},    {106, -30},  {110, 22.5f},
      {114, 8}};
  for (auto [at, value] : floats) EXPECT_EQ(float_at(b, at), value) << "offset " << at;
  const std::pair<size_t, int16_t> shorts[] = {{40, 3},  {42, 1}, {44, 3}, {46, 1}, {60, 0},
                                               {62, 5},  {80, 0}, {82, 0}, {104, 150}};
  for (auto [at, value] : shorts) EXPECT_EQ(int16_at(b, at), value) << "offset " << at;

  RecorderHarness again(Transport::Usb, folder.path());
  const RecorderState& s = again.state();
  WindowModel& w = again.window();
  EXPECT_EQ(s.sample_interval, 0.2f);
  EXPECT_EQ(w["Timer1"].interval_ms, 200);
  EXPECT_EQ(s.rec_capacity, 500000.0f);
  EXPECT_EQ(s.rec_cur1.size(), 500001u);
  EXPECT_EQ(s.view_width, 10000.0f);
  EXPECT_TRUE(w["p5s1"].checked && w["pr500"].checked && w["pt100s"].checked);
  EXPECT_TRUE(w["ppn5000"].checked && w["ppn202"].checked && w["pt05"].checked && w["pt152"].checked);
  EXPECT_TRUE(w["psnm"].checked && w["pl3"].checked && w["pgoff"].checked && w["ptloff"].checked);
  EXPECT_TRUE(w["ptcmo"].checked && s.tc_on && w["t5"].visible);
  EXPECT_EQ(w["nvs1"].value, -10);
  EXPECT_EQ(w["nvs12"].value, 10);
  EXPECT_EQ(w["nvs2"].value, 10);
  EXPECT_EQ(w["nvs22"].value, -30);
  EXPECT_EQ(w["st1"].caption, "DIV: 100s_5000_20_0.5\xC2\xB0" "C_15\xC2\xB0" "C ");
  EXPECT_EQ(s.pa_per_nm2, 2.5f);
  EXPECT_EQ(s.color_temp2, 6.0f);
  EXPECT_EQ(s.tc_factor1, -7.0f);
  EXPECT_EQ(again.frame.current.left, 3000);
  EXPECT_EQ(again.frame.current.width, 12000);
  EXPECT_FALSE(again.frame.is_maximised);
}

TEST_F(SettingsTest, ConnectionWindowAndFieldsOutsideTheMenus) {
  RecorderHarness h(Transport::Usb, folder.path());
  SettingsCommands& commands = h.recorder.files().settings;
  SettingsRecord r = commands.collect();
  r.connection = 7;          // COM3
  r.sample_interval = 0.3f;  // no such rate: 2 per second stays
  r.span1 = 1234;            // no such item: 2000 stays
  r.tspan2 = 0;              // a divisor of zero: 100 stays
  r.line_width = 9;          // pl1 stays
  r.pa_per_nm1 = 0;          // a divisor of zero: 1.0 stays
  r.span2 = 100000;          // applies
  r.win_top = -9000;         // off the screen
  r.win_left = 30000;
  r.win_height = 20000;      // taller than the screen
  r.win_width = 10000;
  r.window_state = 2;
  ASSERT_EQ(write_settings(settings, r), "");
  commands.zetraopen();
  const RecorderState& s = h.state();
  WindowModel& w = h.window();
  EXPECT_TRUE(w["pcom3"].checked);
  EXPECT_EQ(h.serial.selected(), 3);
  EXPECT_EQ(s.sample_interval, 0.5f);
  EXPECT_TRUE(w["p2s1"].checked);
  EXPECT_EQ(s.span1, 2000.0f);
  EXPECT_EQ(s.tspan2, 100);
  EXPECT_TRUE(w["pl1"].checked);
  EXPECT_EQ(s.pa_per_nm1, 1.0f);
  EXPECT_EQ(s.span2, 100000.0f);
  EXPECT_TRUE(w["ppn100002"].checked);
  const platform::FrameGeometry& g = h.frame.current;
  EXPECT_EQ(g.height, h.frame.screen_area.height);
  EXPECT_EQ(g.top, 0);
  EXPECT_EQ(g.left, h.frame.screen_area.width - 10000);
  EXPECT_TRUE(h.frame.is_maximised);
  // Maximised, the remembered geometry is saved, not the window's.
  h.frame.current = {1, 2, 3, 4};
  EXPECT_EQ(commands.collect().win_top, -9000);
  EXPECT_EQ(commands.collect().window_state, 2);

  // A short file changes nothing.
  testing::write_bytes(settings, std::vector<uint8_t>(117, 0));
  h.recorder.press("pt1s");
  commands.zetraopen();
  EXPECT_EQ(s.view_width, 40.0f);
}

TEST_F(SettingsTest, ExitYesSavesRecordingThenSettingsUnlessTheSaveFails) {
  RecorderHarness h(Transport::Usb, folder.path());
  RecorderState& s = h.state();
  s.rec_next = 5;
  ++s.revision;  // four samples that are in no file: Exit asks
  h.dialogs.message_answers = {MessageAnswer::Cancel};
  h.window().invoke("pexit");
  EXPECT_FALSE(std::filesystem::exists(settings));
  s.file_name = folder.file("no-such-folder/run.ztr");
  exit_with(h, MessageAnswer::Yes);
  EXPECT_EQ(ended, 0);  // the save failed: the window stays open with the recording
  EXPECT_FALSE(std::filesystem::exists(settings));
  EXPECT_NE(h.dialogs.messages.back().text.find("no-such-folder/run.ztr"), std::string::npos);
  s.file_name = folder.file("run.ztr");
  exit_with(h, MessageAnswer::Yes);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(std::filesystem::file_size(folder.file("run.ztr")), 25110u);
  EXPECT_EQ(std::filesystem::file_size(settings), 118u);
}

TEST_F(SettingsTest, NotesPaneKeepsItsTextAndPrintsIt) {
  RecorderHarness h(Transport::Usb, folder.path());
  WindowModel& w = h.window();
  h.frame.current = {100, 200, 9000, 11000};
  h.recorder.press("pnoteson");
  EXPECT_TRUE(w["pnoteson"].checked && !w["pnotesoff"].checked && w["nt1"].visible);
  EXPECT_EQ(h.state().win_width, 11000.0f);
  const std::string text = "Notes:\r\n" + std::string(1500, 'n');
  w["nt1"].caption = text;
  h.recorder.press("pnotesoff");
  EXPECT_FALSE(w["nt1"].visible);
  EXPECT_EQ(w["nt1"].caption, text);
  h.recorder.press("ppnotes");
  const std::vector<std::string> expected = {"begin",   "orientation 1",
                                             "scale -400 -600 11000 15000", "font 12",
                                             "colour 0", "text 0 0 " + text, "end"};
  EXPECT_EQ(h.printer.calls, expected);  // in full, beyond 1000 characters, black
  // Blank lines and spaces at the end are not printed: no empty block on the page.
  h.printer.calls.clear();
  w["nt1"].caption = text + "\r\n\r\n   \n\t ";
  h.recorder.press("ppnotes");
  EXPECT_EQ(h.printer.calls, expected);
  h.printer.calls.clear();
  h.printer.usable = false;
  h.recorder.press("ppnotes");
  EXPECT_EQ(h.dialogs.messages.back().text, "Cannot print the notes: no printer.");
  h.dialogs.file_answers = {folder.file("new.ztr")};
  h.recorder.press("pnew");
  EXPECT_EQ(w["nt1"].caption, "Notes:");
}

}  // namespace
}  // namespace zetra::files
