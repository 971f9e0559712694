// ztrtool on files the recorder saved: info, check, export (the Copy table and CSV), usage errors.
#include "tools/ztrtool_commands.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <sstream>

#include "recorder/files/recording_file.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::tools {
namespace {

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun ztrtool(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = run_ztrtool(args, out, err);
  return {status, out.str(), err.str()};
}

class ZtrtoolTest : public ::testing::Test {
 protected:
  // The recorder records 30 samples with compensation on and saves them with notes.
  ZtrtoolTest() {
    h.connect();
    h.recorder.press("crec");
    for (int i = 0; i < 30; ++i) h.recorder.tick("Timer1");
    h.recorder.press("crec");
    h.recorder.press("ptcmo");
    h.window()["nt1"].caption = "ToolRun 3 \xC2\xB5" "A";
    h.recorder.press("psave");
  }

  testing::TempFolder folder;
  testing::RecorderHarness h{testing::Transport::Usb, folder.path()};
  std::string path = folder.file("file1.ztr");
};

TEST_F(ZtrtoolTest, InfoAndCheckOnASavedRecording) {
  const ToolRun info = ztrtool({"info", path});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("samples: 30\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("duration: 15.0 s\n"), std::string::npos);
  EXPECT_NE(info.out.find("temperature compensation: on\n"), std::string::npos);
  EXPECT_NE(info.out.find("notes: ToolRun 3 \xC2\xB5" "A\n"), std::string::npos);
  const ToolRun check = ztrtool({"check", path});
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out, path + ": a recording of 30 samples in 1 records\n");

  auto bytes = testing::read_bytes(path);
  bytes.resize(1000);
  testing::write_bytes(folder.file("short.ztr"), bytes);
  const ToolRun bad = ztrtool({"check", folder.file("short.ztr")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "ztrtool: " + folder.file("short.ztr") +
                         ": the file is shorter than one record (1000 bytes)\n");
  EXPECT_EQ(ztrtool({"info", folder.file("none.ztr")}).status, 1);
}

TEST_F(ZtrtoolTest, CheckReportsWhatOpenRefusesOrReplacesAndReadsNoPipe) {
  auto bytes = testing::read_bytes(path);
  testing::put_float_at(bytes, 36, 1e-4f);  // a sample interval the recorder never writes
  testing::write_bytes(folder.file("fast.ztr"), bytes);
  const ToolRun refused = ztrtool({"check", folder.file("fast.ztr")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("the sample interval 0.0001 s is not one of the recorder's"),
            std::string::npos)
      << refused.err;

  bytes = testing::read_bytes(path);
  testing::put_float_at(bytes, 20, 3e38f);     // CH1 span
  testing::put_float_at(bytes, 25084, 3e38f);  // CH1 temperature colour
  testing::write_bytes(folder.file("odd.ztr"), bytes);
  const ToolRun odd = ztrtool({"check", folder.file("odd.ztr")});
  EXPECT_EQ(odd.status, 0) << odd.err;
  const std::string name = folder.file("odd.ztr") + ": ";
  EXPECT_EQ(odd.out, name + "a recording of 30 samples in 1 records\n" + name +
                         "the CH1 value span 3e+38 is not one the recorder uses; the start-up "
                         "value 2000 is used\n" +
                         name +
                         "the CH1 temperature colour 3e+38 is not one the recorder uses; "
                         "the start-up value 255 is used\n");

#ifndef _WIN32  // a FIFO in a folder is a POSIX thing
  const std::string fifo = folder.file("pipe.ztr");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const ToolRun pipe = ztrtool({"check", fifo});  // returns at once: nothing is opened to read
  EXPECT_EQ(pipe.status, 1);
  EXPECT_NE(pipe.err.find("not a regular file"), std::string::npos) << pipe.err;
#endif
}

TEST_F(ZtrtoolTest, ExportWritesWhatCopyPutsOnTheClipboard) {
  h.state().sel_start = 2;  // view_start 1: positions 3 to 7
  h.state().sel_end = 7;
  h.state().view_start = 1;
  h.recorder.press("ccopy");
  ASSERT_FALSE(h.clipboard.text.empty());
  const ToolRun part = ztrtool({"export", path, "--from", "3", "--to", "7"});
  EXPECT_EQ(part.status, 0) << part.err;
  EXPECT_EQ(part.out, h.clipboard.text);

  const ToolRun all = ztrtool({"export", path});
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 31);
  EXPECT_EQ(all.out.substr(all.out.size() - 2), "\r\n");
  const ToolRun csv = ztrtool({"export", "--csv", path, "--from", "3", "--to", "7"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 6);
  EXPECT_EQ(csv.out.find('\t'), std::string::npos);
  EXPECT_EQ(csv.out.substr(csv.out.find("\r\n") + 2, 4), "1.5,");  // sample 3 at 2 per second
}

// Three samples of known values, compensation off: every field's text, as a table and as CSV.
TEST_F(ZtrtoolTest, ExportOfKnownSamplesFieldByField) {
  auto bytes = testing::read_bytes(path);
  const auto put = [&bytes](size_t at, float value) {
    uint32_t u;
    std::memcpy(&u, &value, 4);
    for (size_t k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(u >> (8 * k));
  };
  put(4, 4);   // rec_next: samples 1 to 3
  put(8, 4);   // shown_count
  put(40, 2);  // CH1 pA per nM
  put(44, 4);  // CH2 pA per nM
  const float samples[3][4] = {{10.25f, -4, 20.5f, 30}, {-0.04f, 1234.56f, 19.995f, -5.125f}, {}};
  for (size_t i = 1; i <= 3; ++i) {
    for (size_t trace = 0; trace < 4; ++trace) {
      put(std::array<size_t, 4>{48, 6052, 13056, 19060}[trace] + 4 * i, samples[i - 1][trace]);
    }
  }
  bytes[25108] = 1;  // compensation off
  bytes[25109] = 0;
  testing::write_bytes(path, bytes);

  const ToolRun table = ztrtool({"export", path});
  EXPECT_EQ(table.status, 0) << table.err;
  EXPECT_EQ(table.out.substr(table.out.find("\r\n") + 2),
            "0.5\t10.3\t5.1\t20.50\t-4.0\t-1.0\t30.00\r\n"
            "1.0\t0.0\t0.0\t20.00\t1234.6\t308.6\t-5.13\r\n"
            "1.5\t0.0\t0.0\t0.00\t0.0\t0.0\t0.00\r\n");
  const ToolRun csv = ztrtool({"export", path, "--csv", "--from", "2"});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out,
            "time_s,ch1_pA,ch1_nM,ch1_degC,ch2_pA,ch2_nM,ch2_degC\r\n"
            "1.0,0.0,0.0,20.00,1234.6,308.6,-5.13\r\n"
            "1.5,0.0,0.0,0.00,0.0,0.0,0.00\r\n");
}

TEST_F(ZtrtoolTest, UsageErrorsGoToStandardError) {
  const ToolRun help = ztrtool({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"info", "export", "check", "--from", "--to", "--csv"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"frobnicate", path},
                                             {"info"},
                                             {"export"},
                                             {"export", path, "--from"},
                                             {"export", path, "--from", "x"},
                                             {"export", path, "--from", "5", "--to", "31"},
                                             {"export", path, "--from", "0"},
                                             {"export", path, "--from", "9", "--to", "8"}}) {
    const ToolRun r = ztrtool(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(r.err.empty());
  }
}

// A unit that stopped answering during the recording: info counts the held samples and names each
// stretch as the notes list it, and shows the notes without that list.
TEST_F(ZtrtoolTest, InfoShowsTheStretchesHeldWhileTheUnitDidNotAnswer) {
  EXPECT_NE(ztrtool({"info", path}).out.find("held samples (no answer from the unit): 0\n"),
            std::string::npos);
  h.recorder.press("crec");
  h.clock.set(10, 31, 7);
  for (int i = 0; i < 8; ++i) h.meter.push_busy();
  for (int i = 0; i < 8; ++i) h.recorder.tick("Timer1");  // samples 31 .. 38
  h.clock.set(10, 31, 11);
  h.meter.push(standins::SampleSet{});
  h.recorder.tick("Timer1");
  h.recorder.press("crec");
  h.recorder.press("psave");
  const ToolRun info = ztrtool({"info", path});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("notes: ToolRun 3 \xC2\xB5" "A\n"
                          "held samples (no answer from the unit): 8 in 1 stretch\n"
                          "  No answer from the unit 10:31:07\xE2\x80\x93" "10:31:07 "
                          "(samples 31\xE2\x80\x93" "38)\n"),
            std::string::npos)
      << info.out;
}

}  // namespace
}  // namespace zetra::tools
