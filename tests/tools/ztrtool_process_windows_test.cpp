// ztrtool.exe as a real Windows process: a file name beyond ASCII arrives through the UTF-16
// command line, and standard output is binary (the export's CR LF is not turned into CR CR LF),
// so that its bytes are those the commands write on Linux.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/utf16.h"
#include "recorder/files/recording_file.h"
#include "tests/recorder/files/temp_folder.h"
#include "tools/ztrtool_commands.h"

namespace zetra::tools {
namespace {

struct ProcessRun {
  DWORD status = 0xFFFFFFFF;
  std::string out;
};

// Runs ztrtool.exe with a command line of `args` (each quoted), standard output to a file.
ProcessRun ztrtool(const testing::TempFolder& folder, const std::vector<std::string>& args) {
  const std::wstring out_path = platform::to_utf16(folder.file("stdout"));
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::wstring line = L"\"" + platform::to_utf16(ZTRTOOL_PATH) + L"\"";
  for (const std::string& a : args) line += L" \"" + platform::to_utf16(a) + L"\"";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = out;
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  ProcessRun run;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  const std::vector<uint8_t> bytes = testing::read_bytes(folder.file("stdout"));
  run.out.assign(bytes.begin(), bytes.end());
  return run;
}

std::string write_test_recording(const std::string& path, size_t samples) {
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
  const files::TraceView traces{cur1.data(), cur2.data(), temp1.data(), temp2.data(), cur1.size()};
  EXPECT_EQ(files::write_recording(path, h, "Notes: M\xFCller", traces), "");
  return path;
}

TEST(ZtrtoolProcess, UnicodeNameArrivesAndTheOutputIsTheCommandsBytesUnchanged) {
  testing::TempFolder folder;
  const std::string path = write_test_recording(folder.file("M\xC3\xBCller \xE4\xB8\xAD.ztr"), 40);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"export", path}, {"export", path, "--csv"}, {"info", path},
        {"check", path}}) {
    std::ostringstream expected, errors;
    ASSERT_EQ(run_ztrtool(args, expected, errors), 0) << errors.str();
    const ProcessRun run = ztrtool(folder, args);
    EXPECT_EQ(run.status, 0u) << args[0];
    EXPECT_EQ(run.out, expected.str()) << args[0];
    EXPECT_EQ(run.out.find("\r\r\n"), std::string::npos) << args[0];
  }
  const ProcessRun table = ztrtool(folder, {"export", path, "--from", "2", "--to", "2"});
  EXPECT_NE(table.out.find("\r\n1.0\t102.0\t51.0\t25.50\t-50.0\t-25.0\t24.25\r\n"),
            std::string::npos)
      << table.out;
  EXPECT_EQ(ztrtool(folder, {"info", folder.file("missing \xE4\xB8\xAD.ztr")}).status, 1u);
}

}  // namespace
}  // namespace zetra::tools
