// Where the settings file, file1.ztr and the recovery journal go: beside the program in a folder
// the user may write (a build tree), in the user's data folder when it is read-only (installed).
#include "platform/qt/data_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>

#include "recorder/files/files_subsystem.h"
#include "tests/support/recorder_harness.h"

namespace zetra::platform {
namespace {

constexpr uid_t kNobody = 65534;

// Runs `check` as a user who cannot write the read-only folder: this user when not root (root
// writes everywhere, whatever the mode), else a child process that becomes nobody. The check
// returns 0 for success; its result comes back as the exit code.
template <class Check>
int as_plain_user(Check check) {
  if (geteuid() != 0) return check();
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(90);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 91;
}

class DataFolderTest : public ::testing::Test {
 protected:
  DataFolderTest() {
    program = root.filePath("program");
    user = root.filePath("home/.local/share/zetra");
    QDir().mkpath(program);
    QDir().mkpath(root.filePath("home"));
    // Everyone may enter the scratch tree and write the home folder; only the program folder is
    // read-only.
    ::chmod(QFile::encodeName(root.path()).constData(), 0755);
    ::chmod(QFile::encodeName(root.filePath("home")).constData(), 0777);
  }
  void make_program_folder_read_only() {
    ::chmod(QFile::encodeName(program).constData(), 0555);
  }
  ~DataFolderTest() override { ::chmod(QFile::encodeName(program).constData(), 0755); }

  QTemporaryDir root;
  QString program;
  QString user;
};

TEST_F(DataFolderTest, WritableProgramFolderKeepsTheFilesBesideTheProgram) {
  EXPECT_EQ(choose_data_folder(program, user), program);
  EXPECT_FALSE(QFileInfo::exists(user)) << "nothing is made in the user's folder";
}

TEST_F(DataFolderTest, ReadOnlyProgramFolderMovesThemToTheUsersFolderAndMakesIt) {
  make_program_folder_read_only();
  const QString program_folder = program, user_folder = user;
  const int result = as_plain_user([&] {
    if (QFileInfo(program_folder).isWritable()) return 10;  // the set-up failed, not the program
    const QString chosen = choose_data_folder(program_folder, user_folder);
    if (chosen != user_folder) return 11;
    if (!QFileInfo(chosen).isDir() || !QFileInfo(chosen).isWritable()) return 12;
    return 0;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(DataFolderTest, DefaultUserFolderIsTheApplicationDataLocation) {
  make_program_folder_read_only();
  const QString program_folder = program, data_home = root.filePath("home/data");
  const int result = as_plain_user([&] {
    ::setenv("XDG_DATA_HOME", QFile::encodeName(data_home).constData(), 1);
    QCoreApplication::setOrganizationName("");
    QCoreApplication::setApplicationName("zetra");
    const QString chosen = choose_data_folder(program_folder);
    if (chosen != data_home + "/zetra") return 20;
    return QFileInfo(chosen).isDir() ? 0 : 21;
  });
  EXPECT_EQ(result, 0);
}

TEST_F(DataFolderTest, MissingProgramFolderCountsAsNotWritable) {
  EXPECT_EQ(choose_data_folder(root.filePath("gone"), user), user);
  EXPECT_TRUE(QFileInfo(user).isDir());
}

// The recorder side: the chosen folder gets the three files, the help stays with the program.
TEST_F(DataFolderTest, RecorderPutsSettingsRecordingAndJournalInTheDataFolder) {
  QDir().mkpath(user);
  testing::RecorderHarness h(testing::Transport::Usb, program.toStdString(), user.toStdString());
  EXPECT_EQ(h.state().file_name, (user + "/file1.ztr").toStdString());
  EXPECT_EQ(h.state().help_file, (program + "/zetrat.html").toStdString());

  h.connect();
  h.recorder.press("crec");
  for (int i = 0; i < 10; ++i) h.recorder.tick("Timer1");
  h.recorder.tick("Timer3");  // the journal starts with the recording
  EXPECT_EQ(QFileInfo(QString::fromStdString(h.recorder.files().journal.path())).absolutePath(),
            user);
  h.recorder.press("crec");
  h.recorder.press("psave");
  h.recorder.procedures().zetrasave();
  EXPECT_TRUE(QFileInfo::exists(user + "/file1.ztr"));
  EXPECT_TRUE(QFileInfo::exists(user + "/zetrat.set"));
  EXPECT_EQ(QDir(program).entryList(QDir::Files), QStringList{});

  // Without a data folder of its own, the recorder keeps them beside the program.
  testing::RecorderHarness beside(testing::Transport::Usb, program.toStdString());
  EXPECT_EQ(beside.state().file_name, (program + "/file1.ztr").toStdString());
  beside.connect();
  beside.recorder.press("crec");
  beside.recorder.tick("Timer3");
  EXPECT_EQ(QFileInfo(QString::fromStdString(beside.recorder.files().journal.path())).absolutePath(),
            program);
  beside.recorder.press("crec");
  beside.recorder.procedures().zetrasave();
}

}  // namespace
}  // namespace zetra::platform
