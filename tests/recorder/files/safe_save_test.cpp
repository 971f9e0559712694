// Save against the user's own files, with real files and permissions: read-only files, links,
// kept modes and owners, folders that cannot take a temporary, another user's file in a sticky
// folder, a folder as the target, stale and planted temporaries, and files that are not regular
// files at all.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_lock.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/files/settings_file.h"
#include "tests/recorder/files/plain_user.h"
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

unsigned mode_of(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

class SafeSaveTest : public ::testing::Test {
 protected:
  SafeSaveTest() {
    ::chmod(folder.path().c_str(), 0777);  // nobody may work in it too
    path = folder.file("file1.ztr");
  }
  // An older recording of `samples` samples at the current file name.
  std::vector<uint8_t> old_file(int samples) {
    fill(s, samples, 1000);
    EXPECT_TRUE(h.recorder.press("psave"));
    return testing::read_bytes(path);
  }
  bool no_temporaries() const {
    return testing::files_named_with(folder.path(), kTemporaryMark).empty();
  }
  const std::string& last_message() const { return h.dialogs.messages.back().text; }

  testing::TempFolder folder;
  RecorderHarness h{Transport::Usb, folder.path()};
  RecorderState& s = h.state();
  std::string path;
};

TEST_F(SafeSaveTest, ReadOnlyFileIsRefusedWithAMessageAndStaysAsItWas) {
  const auto old = old_file(3000);
  ::chmod(path.c_str(), 0444);
  fill(s, 100, 0);
  h.recorder.press("csave");
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(last_message(), path + " is read-only; use Save as");
  EXPECT_EQ(testing::read_bytes(path), old);
  EXPECT_EQ(mode_of(path), 0444u);
  EXPECT_EQ(s.rec_next, 101.0f) << "the recording is kept";
  EXPECT_TRUE(no_temporaries());

  // Writable by its owner only, and the user saving is not the owner (needs root to set up).
  if (geteuid() != 0) return;
  ::chmod(path.c_str(), 0644);
  const int result = testing::as_plain_user([&] {
    if (::access(path.c_str(), W_OK) == 0) return 10;
    fill(s, 200, 0);
    h.recorder.press("csave");
    if (h.dialogs.messages.back().text != path + " is read-only; use Save as") return 11;
    if (testing::read_bytes(path) != old) return 12;
    return s.rec_next == 201.0f && no_temporaries() ? 0 : 13;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(SafeSaveTest, SymbolicLinkIsFollowedItsTargetReplacedWithModeAndOwnerKept) {
  std::filesystem::create_directory(folder.file("real"));
  const std::string target = folder.file("real/run.ztr");
  testing::write_bytes(target, std::vector<uint8_t>(3 * kRecordBytes, 0x5A));
  ::chmod(target.c_str(), 0660);
  if (geteuid() == 0) {
    ASSERT_EQ(::chown(target.c_str(), testing::kNobody, testing::kNobody), 0);
  }
  // A relative link to a link to the file.
  std::filesystem::create_symlink("real/run.ztr", folder.file("middle.ztr"));
  std::filesystem::create_symlink(folder.file("middle.ztr"), path);

  fill(s, 1600, 0);  // two records
  // A file this session did not open or save: Save asks first.
  h.dialogs.message_answers = {platform::MessageAnswer::Yes};
  ASSERT_TRUE(h.recorder.press("psave"));
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(last_message(), path + " already exists. Replace it?");
  EXPECT_TRUE(std::filesystem::is_symlink(path)) << "the link stays a link";
  EXPECT_EQ(std::filesystem::read_symlink(path), folder.file("middle.ztr"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.file("middle.ztr")));
  const auto now = testing::read_bytes(target);
  ASSERT_EQ(now.size(), 3 * kRecordBytes) << "the third old record is kept";
  EXPECT_EQ(testing::float_at(now, 4), 1601.0f);
  EXPECT_EQ(now.back(), 0x5A);
  EXPECT_EQ(mode_of(target), 0660u) << "group write is kept";
  struct stat st {};
  ::stat(target.c_str(), &st);
  if (geteuid() == 0) {
    EXPECT_EQ(st.st_uid, testing::kNobody);
    EXPECT_EQ(st.st_gid, testing::kNobody);
  }
  EXPECT_TRUE(no_temporaries());
  EXPECT_TRUE(testing::files_named_with(folder.file("real"), kTemporaryMark).empty());

  // A plain file keeps an unusual mode too.
  const std::string plain = folder.file("plain.ztr");
  testing::write_bytes(plain, {1, 2, 3});
  ::chmod(plain.c_str(), 0604);
  s.file_name = plain;
  h.dialogs.message_answers = {platform::MessageAnswer::Yes};
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(mode_of(plain), 0604u);
  EXPECT_EQ(testing::read_bytes(plain).size(), 2 * kRecordBytes);
}

TEST_F(SafeSaveTest, FolderThatCannotTakeATemporaryGetsTheFileWrittenInPlace) {
  const auto old = old_file(4000);  // three records
  if (geteuid() == 0) {  // the file belongs to the user who saves
    ASSERT_EQ(::chown(path.c_str(), testing::kNobody, testing::kNobody), 0);
  }
  ::chmod(path.c_str(), 0666);
  ::chmod(folder.path().c_str(), 0555);
  const int result = testing::as_plain_user([&] {
    if (::access(folder.path().c_str(), W_OK) == 0) return 10;
    fill(s, 100, 7);  // one record
    if (!h.recorder.press("psave") || !h.dialogs.messages.empty()) return 11;
    const auto now = testing::read_bytes(path);
    if (now.size() != old.size()) return 12;  // records beyond those written are kept
    if (testing::float_at(now, 4) != 101.0f) return 13;
    if (!std::equal(now.begin() + kRecordBytes, now.end(), old.begin() + kRecordBytes)) return 14;
    if (!no_temporaries()) return 15;

    // The same with too little room (a recording that needs a record more than the file has):
    // the room is reserved before anything is written, so the file stays as it was.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{30000, 30000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    fill(s, 5000, 9);
    h.recorder.press("psave");
    if (h.dialogs.messages.size() != 1) return 16;
    const std::string told = h.dialogs.messages.back().text;
    if (told.find("Cannot save " + path) == std::string::npos) return 17;
    if (told.find("no room") == std::string::npos) return 18;
    if (testing::read_bytes(path) != now) return 19;
    return s.rec_next == 5001.0f ? 0 : 20;
  });
  ::chmod(folder.path().c_str(), 0777);
  EXPECT_EQ(result, 0);
}

// In place, a failure at any step leaves a file that opens: the room is reserved first and the
// first record, whose counter says how many records there are, is written last. A file that
// opens with the new counter holds the new samples.
TEST_F(SafeSaveTest, InPlaceSaveFailingAtAnyStepLeavesAFileThatOpens) {
  old_file(4000);  // three records
  if (geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), testing::kNobody, testing::kNobody), 0);
  }
  ::chmod(path.c_str(), 0666);
  ::chmod(folder.path().c_str(), 0555);
  const int result = testing::as_plain_user([&] {
    fill(s, 70000, 9);  // 47 records, in two writes: the counter outgrows the old file
    FaultPlan plan;
    h.recorder.files().recording.faults = &plan;
    for (plan.fail_at = 0; plan.fail_at < 40; ++plan.fail_at) {
      plan.steps = 0;
      h.dialogs.messages.clear();
      const bool saved = h.recorder.press("psave") && h.dialogs.messages.empty();
      LoadedRecording loaded;
      std::string error;
      if (!read_recording(path, loaded, error)) return 10 + plan.fail_at;
      const float counter = loaded.header.rec_next;
      if (counter != 4001.0f && counter != 70001.0f) return 60;
      if (counter == 70001.0f) {
        for (int i = 1; i <= 70000; ++i) {
          if (loaded.cur1[i] != s.rec_cur1[i]) return 61;
        }
      } else if (loaded.cur1[1] != 1001.0f) {
        return 62;  // the old first record stays until the rest is on disk
      }
      if (!no_temporaries()) return 63;
      if (saved) return counter == 70001.0f && plan.fail_at >= 5 ? 0 : 64;
    }
    return 65;
  });
  ::chmod(folder.path().c_str(), 0777);
  EXPECT_EQ(result, 0);
}

TEST_F(SafeSaveTest, AnotherUsersFileInAStickyFolderIsWrittenInPlace) {
  const auto old = old_file(4000);
  const uid_t owner = geteuid() == 0 ? 0 : geteuid();  // under root, nobody saves a file of root's
  ::chmod(path.c_str(), 0666);
  ::chmod(folder.path().c_str(), 01777);  // like /tmp: only owners may replace or remove
  const int result = testing::as_plain_user([&] {
    fill(s, 100, 7);
    if (!h.recorder.press("psave") || !h.dialogs.messages.empty()) return 10;
    const auto now = testing::read_bytes(path);
    if (now.size() != old.size() || testing::float_at(now, 4) != 101.0f) return 11;
    return no_temporaries() ? 0 : 12;
  });
  ::chmod(folder.path().c_str(), 0777);
  EXPECT_EQ(result, 0);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, owner) << "still the owner's file";
  EXPECT_EQ(st.st_mode & 07777, 0666u);
}

TEST_F(SafeSaveTest, TargetThatIsAFolderIsRefusedAndStays) {
  const std::string dir = folder.file("data.ztr");
  std::filesystem::create_directory(dir);
  testing::write_bytes(dir + "/inside", {1});
  s.file_name = dir;
  fill(s, 100, 0);
  h.recorder.press("psave");
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_NE(last_message().find(dir + " is a folder"), std::string::npos) << last_message();
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_TRUE(std::filesystem::exists(dir + "/inside"));
  EXPECT_EQ(s.rec_next, 101.0f);
  EXPECT_TRUE(no_temporaries());
}

TEST_F(SafeSaveTest, StaleTemporariesGoAtTheNextSavePlantedLinksAndBusyOnesStay) {
  const std::string victim = folder.file("victim.txt");
  testing::write_bytes(victim, {'k', 'e', 'e', 'p'});
  const std::string stale = path + kTemporaryMark + "Ab12Cd";
  testing::write_bytes(stale, std::vector<uint8_t>(82000, 1));
  const std::string planted = path + kTemporaryMark + "LINK00";
  std::filesystem::create_symlink(victim, planted);
  std::filesystem::create_symlink(victim, path + ".saving");  // the fixed name of old
  const std::string busy = path + kTemporaryMark + "Busy00";
  testing::write_bytes(busy, {2});
  platform::FileLock writer;  // as another program still writing it
  ASSERT_TRUE(writer.try_acquire(busy));
  const std::string others = folder.file("other.ztr") + kTemporaryMark + "Zz9999";
  testing::write_bytes(others, {3});

  fill(s, 100, 0);
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(stale)) << "a killed save's leftover goes";
  EXPECT_TRUE(std::filesystem::is_symlink(planted));
  EXPECT_TRUE(std::filesystem::is_symlink(path + ".saving"));
  EXPECT_EQ(testing::read_bytes(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(std::filesystem::exists(busy)) << "one being written stays";
  EXPECT_TRUE(std::filesystem::exists(others)) << "another file's stays";
  EXPECT_EQ(testing::float_at(testing::read_bytes(path), 4), 101.0f);
  EXPECT_FALSE(std::filesystem::is_symlink(path));
}

TEST_F(SafeSaveTest, SettingsFileKeepsItsModeAndAReadOnlyOneIsLeftAlone) {
  const std::string settings = folder.file(kSettingsFileName);
  Procedures::call(h.recorder.procedures().zetrasave);
  ASSERT_EQ(testing::read_bytes(settings).size(), kSettingsBytes);
  ::chmod(settings.c_str(), 0640);
  h.recorder.press("ppn5000");
  Procedures::call(h.recorder.procedures().zetrasave);
  EXPECT_EQ(mode_of(settings), 0640u);
  EXPECT_EQ(testing::float_at(testing::read_bytes(settings), 16), 50000.0f);

  ::chmod(settings.c_str(), 0444);
  const auto kept = testing::read_bytes(settings);
  h.recorder.press("ppn1000");
  Procedures::call(h.recorder.procedures().zetrasave);
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(last_message(),
            "Cannot save the settings to " + settings + ": " + settings + " is read-only.");
  EXPECT_EQ(testing::read_bytes(settings), kept);
  EXPECT_TRUE(no_temporaries());
}

TEST_F(SafeSaveTest, OpenRefusesPipesDevicesAndFoldersWithoutWaiting) {
  fill(s, 50, 0);
  const std::string fifo = folder.file("pipe.ztr");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const std::string dir = folder.file("dir.ztr");
  std::filesystem::create_directory(dir);
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {{fifo, "pipe"}, {"/dev/zero", "device"}, {dir, "folder"}};
  for (const auto& c : cases) {
    h.dialogs.file_answers = {c.path};
    h.recorder.press("popen");  // would block for ever on the pipe if it were opened to read
    ASSERT_FALSE(h.dialogs.messages.empty());
    EXPECT_NE(last_message().find("Cannot open " + c.path), std::string::npos) << last_message();
    EXPECT_NE(last_message().find(c.reason), std::string::npos) << last_message();
    EXPECT_EQ(s.rec_next, 51.0f);
    EXPECT_EQ(s.file_name, path);
  }
}

// A recording is private data: the journal and its lock are this user's alone whatever the mask,
// while the saved file gets what the mask allows, as every file the user makes.
TEST_F(SafeSaveTest, JournalsAndLocksAreCreatedForTheUserAloneTheSavedFileByTheMask) {
  const mode_t mask = ::umask(022);
  fill(s, 100, 0);
  RecoveryJournal& journal = h.recorder.files().journal;
  journal.sync();
  ASSERT_TRUE(journal.active()) << journal.error();
  EXPECT_EQ(mode_of(journal.path()), 0600u);
  EXPECT_EQ(mode_of(lock_path_of(journal.path())), 0600u);
  ASSERT_TRUE(h.recorder.press("psave"));
  EXPECT_EQ(mode_of(path), 0644u);
  ::umask(mask);
}

}  // namespace
}  // namespace zetra::files
