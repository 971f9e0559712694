// Save on Windows against real files: the read-only attribute refused with the Linux message, the
// target's attributes kept, no partial file after a failure at any step, names beyond ASCII
// through the UTF-16 API, backslash, forward-slash and drive-letter paths, two programs' journals
// kept apart by LockFileEx, a temporary another program is writing left alone, and the folder
// where the settings live.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/win32/data_folder.h"
#include "platform/win32/utf16.h"
#include "recorder/files/files_subsystem.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using testing::RecorderHarness;
using testing::Transport;

void fill(RecorderState& s, int n, float base) {
  for (int i = 1; i <= n; ++i) {
    s.rec_cur1[i] = base + static_cast<float>(i);
    s.rec_cur2[i] = s.rec_temp1[i] = s.rec_temp2[i] = base;
  }
  s.rec_next = static_cast<float>(n + 1);
  s.shown_count = s.rec_next;
}

DWORD attributes_of(const std::string& path) {
  return GetFileAttributesW(platform::to_utf16(path).c_str());
}
void set_attributes(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(platform::to_utf16(path).c_str(), attributes)) << path;
}

// The bytes of a file named in UTF-8, read through the platform layer.
std::vector<uint8_t> bytes_of(const std::string& path) {
  platform::File file;
  platform::FileKind kind;
  std::vector<uint8_t> bytes;
  if (file.open_regular_for_reading(path, kind) != 0 || !file.is_open()) return bytes;
  uint64_t size = 0;
  file.size(size);
  bytes.resize(size);
  if (size > 0 && file.read_at(bytes.data(), size, 0) != 0) bytes.clear();
  return bytes;
}

class SafeSaveWindowsTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> old_file(int samples) {
    fill(s, samples, 1000);
    EXPECT_TRUE(h.recorder.press("psave"));
    return bytes_of(path);
  }
  bool no_temporaries() const {
    return testing::files_named_with(folder.path(), kTemporaryMark).empty();
  }

  testing::TempFolder folder;  // "C:\users\...\Temp\zetra-files-...": a drive-letter path
  RecorderHarness h{Transport::Usb, folder.path()};
  RecorderState& s = h.state();
  std::string path = folder.file("file1.ztr");
};

TEST_F(SafeSaveWindowsTest, ReadOnlyAttributeIsRefusedWithTheLinuxMessageAndOtherAttributesKept) {
  ASSERT_EQ(path.substr(1, 2), ":\\") << "a drive-letter path with backslashes";
  const auto old = old_file(3000);
  set_attributes(path, FILE_ATTRIBUTE_READONLY);
  fill(s, 100, 0);
  h.recorder.press("csave");
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages.back().text, path + " is read-only; use Save as");
  EXPECT_EQ(bytes_of(path), old);
  EXPECT_EQ(s.rec_next, 101.0f) << "the recording is kept";
  EXPECT_TRUE(no_temporaries());

  // Hidden and archived: the replaced file has them still.
  set_attributes(path, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(h.recorder.press("csave"));
  EXPECT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(testing::float_at(bytes_of(path), 4), 101.0f);
  EXPECT_EQ(attributes_of(path) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(bytes_of(path).size(), 3 * kRecordBytes) << "the old records beyond are kept";
  set_attributes(path, FILE_ATTRIBUTE_NORMAL);
}

// Every step of the writer failing in turn, on a file of several records whose name has forward
// slashes: the old file is whole afterwards and no temporary is left; then the save succeeds.
TEST_F(SafeSaveWindowsTest, NoPartialFileAfterAFailureAtAnyStep) {
  const auto old = old_file(5000);
  std::string slashed = path;
  for (char& c : slashed) c = c == '\\' ? '/' : c;
  s.file_name = slashed;
  fill(s, 2000, 7);
  FaultPlan plan;
  h.recorder.files().recording.faults = &plan;
  int failures = 0;
  for (plan.fail_at = 0;; ++plan.fail_at) {
    plan.steps = 0;
    h.dialogs.messages.clear();
    if (h.recorder.press("psave") && h.dialogs.messages.empty()) break;
    ++failures;
    ASSERT_EQ(bytes_of(path), old) << "step " << plan.fail_at;
    ASSERT_TRUE(no_temporaries()) << "step " << plan.fail_at;
    ASSERT_LT(plan.fail_at, 50);
  }
  h.recorder.files().recording.faults = nullptr;
  EXPECT_GE(failures, 4);
  const auto now = bytes_of(path);
  ASSERT_EQ(now.size(), old.size()) << "records beyond those written are kept";
  EXPECT_EQ(testing::float_at(now, 4), 2001.0f);
}

TEST_F(SafeSaveWindowsTest, NamesBeyondAsciiSaveReopenAndShowInTheCaption) {
  const std::string name = folder.file("M\xC3\xBCller \xE4\xB8\xAD.ztr");
  fill(s, 1600, 3);
  h.dialogs.file_answers = {name};
  h.recorder.press("psaveas");
  ASSERT_TRUE(h.dialogs.messages.empty());
  std::vector<std::string> names;
  ASSERT_EQ(platform::list_folder(folder.path(), names), 0);
  EXPECT_NE(std::find(names.begin(), names.end(), "M\xC3\xBCller \xE4\xB8\xAD.ztr"), names.end())
      << "the name on disk is the UTF-16 one, not the ANSI code page's reading of UTF-8";
  EXPECT_NE(GetFileAttributesW((platform::to_utf16(folder.path()) + L"\\M\u00FCller \u4E2D.ztr").c_str()),
            INVALID_FILE_ATTRIBUTES);

  fill(s, 10, 0);
  h.dialogs.file_answers = {name};
  h.dialogs.message_answers = {platform::MessageAnswer::No};  // do not save the 10 samples
  h.recorder.press("popen");
  EXPECT_EQ(s.rec_next, 1601.0f);
  EXPECT_EQ(s.rec_cur1[1600], 1603.0f);
  EXPECT_EQ(s.window_caption, "ZetraII [ " + name + " ]");
}

TEST_F(SafeSaveWindowsTest, TwoProgramsJournalsStayApartAndABusyTemporaryIsNotSwept) {
  RecorderHarness other{Transport::Usb, folder.path()};
  fill(s, 500, 1);
  fill(other.state(), 700, 2);
  h.recorder.files().journal.sync();
  other.recorder.files().journal.sync();
  const std::string mine = h.recorder.files().journal.path();
  const std::string theirs = other.recorder.files().journal.path();
  ASSERT_FALSE(mine.empty());
  ASSERT_NE(mine, theirs);
  EXPECT_TRUE(orphaned_journals(folder.path()).empty()) << "both programs hold their locks";
  platform::FileLock probe;
  EXPECT_FALSE(probe.try_acquire(lock_path_of(mine))) << "LockFileEx keeps the lock one owner's";

  const std::string busy = path + kTemporaryMark + "Busy00";
  const std::string stale = path + kTemporaryMark + "Ab12Cd";
  testing::write_bytes(busy, {2});
  testing::write_bytes(stale, std::vector<uint8_t>(30000, 1));
  platform::FileLock writer;  // as another program still writing it
  ASSERT_TRUE(writer.try_acquire(busy));
  ASSERT_TRUE(h.recorder.press("psave"));
  platform::FileStatus status;
  platform::examine(busy, status);
  EXPECT_TRUE(status.exists()) << "one being written stays";
  platform::examine(stale, status);
  EXPECT_FALSE(status.exists()) << "a killed save's leftover goes";
  writer.release();

  // The saved recording's journal goes; the other program's stays with it.
  platform::examine(mine, status);
  EXPECT_FALSE(status.exists());
  platform::examine(theirs, status);
  EXPECT_TRUE(status.exists());
}

TEST(DataFolderWindows, BesideTheProgramWhenWritableElseTheUsersFolderMadeOnFirstStart) {
  testing::TempFolder folder;
  EXPECT_EQ(platform::choose_data_folder(folder.path()), folder.path());
  const std::string missing = folder.file("no-program-here");
  const std::string user = folder.file("appdata\\zetra");
  EXPECT_EQ(platform::choose_data_folder(missing, user), user);
  platform::FileStatus status;
  ASSERT_EQ(platform::examine(user, status), 0);
  EXPECT_EQ(status.kind, platform::FileKind::Folder);
  const std::string roaming = platform::choose_data_folder(missing);
  EXPECT_EQ(roaming.substr(roaming.size() - 6), "\\zetra") << roaming;
  EXPECT_FALSE(platform::program_folder().empty());
}

}  // namespace
}  // namespace zetra::files
