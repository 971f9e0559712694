// A real process recording with its journal is killed with SIGKILL at an arbitrary moment; a
// recorder started afterwards in the same folder is asked, answers Yes, and holds every sample up
// to the last journal write the process reported.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "recorder/files/files_subsystem.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

struct Report {
  size_t samples = 0;
  uint64_t hash = 0;
};

// The child's reports, line by line, with a bound on the wait for each.
class Child {
 public:
  explicit Child(const std::string& folder, const char* rate_item = "p5s1") {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      execl(JOURNAL_CRASH_CHILD, JOURNAL_CRASH_CHILD, folder.c_str(), rate_item,
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    if (pid_ > 0) kill_now();
    close(out_);
  }

  // The next report, or false when none came within the bound.
  bool next(Report& report) {
    while (true) {
      const size_t eol = buffer_.find('\n');
      if (eol != std::string::npos) {
        std::istringstream line(buffer_.substr(0, eol));
        buffer_.erase(0, eol + 1);
        std::string word;
        line >> word >> report.samples >> report.hash;
        return word == "journaled";
      }
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 30000) <= 0) return false;
      char chunk[256];
      const ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // SIGKILL; true when the child died of it (and not before).
  bool kill_now() {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

TEST(KillDuringRecording, RestartRecoversEverySampleUpToTheLastJournalWrite) {
  // Killed after different numbers of journal writes; the child keeps recording in between, so
  // the kill lands at an arbitrary point of its loop, in the middle of a write included.
  for (int writes : {1, 4, 9}) {
    testing::TempFolder folder;
    Report last;
    {
      Child child(folder.path());
      for (int n = 0; n < writes; ++n) ASSERT_TRUE(child.next(last)) << "no report " << n;
      ASSERT_TRUE(child.kill_now());
    }
    ASSERT_EQ(testing::journals_in(folder.path()).size(), 1u);

    testing::RecorderHarness stand_ins(testing::Transport::Usb, folder.path() + "/none");
    testing::ScriptedDialogs dialogs;
    dialogs.message_answers = {platform::MessageAnswer::Yes};
    Recorder recorder(Platform{stand_ins.serial, stand_ins.library, dialogs, stand_ins.pause,
                               stand_ins.clipboard, folder.path(), &stand_ins.printer,
                               &stand_ins.frame});
    recorder.start();
    ASSERT_EQ(dialogs.messages.size(), 1u) << writes;
    EXPECT_EQ(dialogs.messages[0].text.rfind("Recover the unsaved recording?", 0), 0u);
    const RecorderState& s = recorder.state();
    // Everything reported is there bit for bit; a write the child finished but could not
    // report before it died may add more.
    ASSERT_GE(s.rec_next, static_cast<float>(last.samples + 1)) << writes;
    EXPECT_EQ(testing::samples_hash(s, last.samples), last.hash) << writes;
    EXPECT_EQ(s.sample_interval, 0.2f);
    EXPECT_FALSE(std::filesystem::exists(folder.file("file1.ztr")));
    EXPECT_GE(last.samples, static_cast<size_t>(writes - 1) * 10);  // 14 a write at 5 a second
  }
}

// A recorder started in `folder` whose dialogs answer `answers`; what it asked stays in `dialogs`.
class Restart {
 public:
  Restart(const std::string& folder, std::deque<platform::MessageAnswer> answers)
      : stand_ins(testing::Transport::Usb, folder + "/none") {
    dialogs.message_answers = std::move(answers);
    recorder = std::make_unique<Recorder>(Platform{stand_ins.serial, stand_ins.library, dialogs,
                                                   stand_ins.pause, stand_ins.clipboard, folder,
                                                   &stand_ins.printer, &stand_ins.frame});
    recorder->start();
  }
  testing::RecorderHarness stand_ins;
  testing::ScriptedDialogs dialogs;
  std::unique_ptr<Recorder> recorder;
};

TEST(TwoProgramsInOneFolder, EachKeepsItsOwnJournalAndAKilledOnesSamplesComeBackWhileTheOtherRuns) {
  testing::TempFolder folder;
  Report a, b;
  Child fast(folder.path(), "p5s1");  // 5 samples a second
  Child slow(folder.path(), "p2s1");  // 2 samples a second
  for (int n = 0; n < 4; ++n) {
    ASSERT_TRUE(fast.next(a)) << n;
    ASSERT_TRUE(slow.next(b)) << n;
  }
  const auto journals = testing::journals_in(folder.path());
  ASSERT_EQ(journals.size(), 2u) << "one journal each";

  {  // A third program started now finds both journals in use: nothing is offered.
    Restart third(folder.path(), {});
    EXPECT_TRUE(third.dialogs.messages.empty());
    EXPECT_EQ(third.recorder->state().rec_next, 1.0f);
  }
  ASSERT_TRUE(fast.next(a));
  ASSERT_TRUE(fast.kill_now());

  Restart restart(folder.path(), {platform::MessageAnswer::Yes});
  ASSERT_EQ(restart.dialogs.messages.size(), 1u) << "only the killed program's journal";
  const RecorderState& s = restart.recorder->state();
  EXPECT_EQ(s.sample_interval, 0.2f) << "the killed program's recording";
  ASSERT_GE(s.rec_next, static_cast<float>(a.samples + 1));
  EXPECT_EQ(testing::samples_hash(s, a.samples), a.hash);

  // The other program goes on writing its journal, which nobody removed.
  const size_t before = b.samples;
  ASSERT_TRUE(slow.next(b));
  ASSERT_TRUE(slow.next(b));
  EXPECT_GT(b.samples, before);
  const auto now = testing::journals_in(folder.path());
  const auto kept = std::count_if(journals.begin(), journals.end(), [&](const std::string& j) {
    return std::find(now.begin(), now.end(), j) != now.end();
  });
  EXPECT_EQ(kept, 1) << "the running one's journal stays; the recovered one moved on";
  EXPECT_EQ(now.size(), 2u) << "the running one's and the restarted one's";
  ASSERT_TRUE(restart.recorder->press("psave"));  // the recovered recording is safe
  EXPECT_EQ(testing::journals_in(folder.path()).size(), 1u);

  // Then the other is killed too, and its samples come back just the same.
  ASSERT_TRUE(slow.kill_now());
  Restart last(folder.path(), {platform::MessageAnswer::Yes});
  ASSERT_EQ(last.dialogs.messages.size(), 1u);
  const RecorderState& t = last.recorder->state();
  EXPECT_EQ(t.sample_interval, 0.5f);
  ASSERT_GE(t.rec_next, static_cast<float>(b.samples + 1));
  EXPECT_EQ(testing::samples_hash(t, b.samples), b.hash);
}

}  // namespace
}  // namespace zetra::files
