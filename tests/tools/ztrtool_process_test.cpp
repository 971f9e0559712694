// ztrtool as a real process on recordings written by the recorder's file code: exit statuses and
// messages of refused ranges and bad options, terminal-safe notes, the empty recording, and an
// output that cannot be written (/dev/full).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recorder/files/recording_file.h"
#include "tests/recorder/files/temp_folder.h"

namespace zetra::tools {
namespace {

struct ProcessRun {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out, err;
};

// Runs ztrtool with `args`; its standard output goes to `out_path` (a file of the folder when
// empty), its standard error to a file of the folder.
ProcessRun ztrtool(const testing::TempFolder& folder, const std::vector<std::string>& args,
                   std::string out_path = "") {
  const bool own_out = out_path.empty();
  if (own_out) out_path = folder.file("stdout");
  const std::string err_path = folder.file("stderr");
  std::vector<std::string> all{ZTRTOOL_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ProcessRun run;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  }
  const auto text = [](const std::string& path) {
    const std::vector<uint8_t> bytes = testing::read_bytes(path);
    return std::string(bytes.begin(), bytes.end());
  };
  if (own_out) run.out = text(out_path);
  run.err = text(err_path);
  return run;
}

// A recording of `samples` samples (0: empty) with the given notes (Windows-1252).
std::string write_test_recording(const testing::TempFolder& folder, const std::string& name,
                                 size_t samples, const std::string& notes) {
  constexpr size_t kCapacity = 100000;
  std::vector<float> cur1(kCapacity + 1), cur2(kCapacity + 1), temp1(kCapacity + 1),
      temp2(kCapacity + 1);
  for (size_t i = 1; i <= samples; ++i) {
    cur1[i] = 100.0f + static_cast<float>(i);
    cur2[i] = -50.0f;
    temp1[i] = 25.5f;
    temp2[i] = 24.25f;
  }
  files::RecordingHeader h;
  h.rec_capacity = kCapacity;
  h.rec_next = static_cast<float>(samples + 1);
  h.shown_count = h.view_start = 1;
  h.view_width = 400;
  h.span1 = h.span2 = 2000;
  h.sample_interval = 0.5f;
  h.pa_per_nm1 = h.pa_per_nm2 = 2;
  h.tspan1 = h.tspan2 = 10;
  h.tc_off = 1;
  const std::string path = folder.file(name);
  const files::TraceView traces{cur1.data(), cur2.data(), temp1.data(), temp2.data(), cur1.size()};
  EXPECT_EQ(files::write_recording(path, h, notes, traces), "");
  return path;
}

constexpr const char* kTabHeader =
    "   Time\t  <1>pA\t  <1>nM\t   <1>\xC2\xB0" "C\t  <2>pA\t  <2>nM\t   <2>\xC2\xB0" "C\r\n";
constexpr const char* kCsvHeader = "time_s,ch1_pA,ch1_nM,ch1_degC,ch2_pA,ch2_nM,ch2_degC\r\n";

TEST(ZtrtoolProcess, NegativeInvertedAndMalformedRangesAreRefused) {
  testing::TempFolder folder;
  const std::string path = write_test_recording(folder, "r.ztr", 30, "");
  const std::vector<std::vector<std::string>> refused = {
      {"export", path, "--to", "-5"},          {"export", path, "--from", "-1"},
      {"export", path, "--from", "0"},         {"export", path, "--from", "5", "--to", "3"},
      {"export", path, "--to", "31"},          {"export", path, "--from", "31"},
      {"export", path, "--to", "7x"},          {"export", path, "--to"},
      {"export", path, "--bogus"},             {"export"},
      {"info", path, "extra"},                 {"frobnicate", path}};
  for (const auto& args : refused) {
    const ProcessRun run = ztrtool(folder, args);
    std::string joined;
    for (const std::string& a : args) joined += a + " ";
    EXPECT_EQ(run.status, 2) << joined << run.err;
    EXPECT_EQ(run.out, "") << joined;
    EXPECT_EQ(run.err.rfind("ztrtool: ", 0), 0u) << joined << run.err;
  }
  EXPECT_NE(ztrtool(folder, {"export", path, "--to", "-5"}).err.find("--to needs a sample number"),
            std::string::npos);
  EXPECT_NE(ztrtool(folder, {"export", path, "--from", "5", "--to", "3"}).err.find("lies after"),
            std::string::npos);
  const ProcessRun part = ztrtool(folder, {"export", path, "--from", "29", "--to", "30"});
  EXPECT_EQ(part.status, 0) << part.err;
  EXPECT_EQ(part.out, std::string(kTabHeader) + "14.5\t129.0\t64.5\t25.50\t-50.0\t-25.0\t24.25\r\n" +
                          "15.0\t130.0\t65.0\t25.50\t-50.0\t-25.0\t24.25\r\n");
}

TEST(ZtrtoolProcess, InfoShowsNotesWithoutRawControlCharacters) {
  testing::TempFolder folder;
  // An escape sequence that would turn a terminal red, a bell, a TAB, DEL, a backslash and a line
  // break.
  const std::string notes = "Run \x1B[31mred\x07\there\x7F\\x\r\nline two end";
  const std::string path = write_test_recording(folder, "n.ztr", 3, notes);
  const ProcessRun run = ztrtool(folder, {"info", path});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char c : run.out) {
    const auto u = static_cast<unsigned char>(c);
    EXPECT_TRUE(u >= 0x20 || u == '\n') << "raw control byte " << static_cast<int>(u);
    EXPECT_NE(u, 0x7F);
  }
  EXPECT_NE(run.out.find("notes: Run \\x1B[31mred\\x07\\x09here\\x7F\\\\x\n       line two "),
            std::string::npos)
      << run.out;
}

TEST(ZtrtoolProcess, EmptyRecordingExportsTheHeaderLineOnly) {
  testing::TempFolder folder;
  const std::string path = write_test_recording(folder, "empty.ztr", 0, "");
  const ProcessRun tab = ztrtool(folder, {"export", path});
  EXPECT_EQ(tab.status, 0) << tab.err;
  EXPECT_EQ(tab.out, kTabHeader);
  const ProcessRun csv = ztrtool(folder, {"export", path, "--csv"});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out, kCsvHeader);
  const ProcessRun first = ztrtool(folder, {"export", path, "--from", "1"});
  EXPECT_EQ(first.status, 2);
  EXPECT_NE(first.err.find("holds no samples"), std::string::npos) << first.err;
}

TEST(ZtrtoolProcess, OutputThatCannotBeWrittenFails) {
  testing::TempFolder folder;
  const std::string path = write_test_recording(folder, "full.ztr", 20000, "");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"export", path}, {"export", path, "--csv", "--to", "3"},
        {"info", path}, {"check", path}, {"--help"}}) {
    const ProcessRun run = ztrtool(folder, args, "/dev/full");
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_NE(run.err.find("ztrtool: cannot write the output"), std::string::npos)
        << args[0] << ": " << run.err;
  }
  // The same export into a file is whole: every block arrived, the last line included.
  const ProcessRun whole = ztrtool(folder, {"export", path, "--csv"});
  EXPECT_EQ(whole.status, 0);
  EXPECT_EQ(std::count(whole.out.begin(), whole.out.end(), '\n'), 20001);
  EXPECT_NE(whole.out.find("\r\n10000.0,20100.0,10050.0,25.50,-50.0,-25.0,24.25\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace zetra::tools
