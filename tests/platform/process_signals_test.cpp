// The end of the session reaches the event loop: SIGTERM and SIGHUP run the program's ending once,
// from the loop, and the signals get their default action back when the watcher goes.
#include "platform/qt/process_signals.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

namespace zetra::platform {
namespace {

// Lets the event loop run until `done` holds, at most about two seconds.
template <typename Done>
bool run_until(Done done) {
  for (int n = 0; n < 200 && !done(); ++n) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  return done();
}

void (*handler_of(int signal_number))(int) {
  struct sigaction action {};
  sigaction(signal_number, nullptr, &action);
  return action.sa_handler;
}

TEST(SessionEndSignals, TermAndHangUpEndTheSessionOnceFromTheEventLoop) {
  int argc = 1;
  char name[] = "process_signals_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  int ended = 0;
  {
    SessionEndSignals watcher([&ended] { ++ended; });
    ASSERT_TRUE(watcher.installed());
    ASSERT_EQ(raise(SIGTERM), 0);  // the process goes on: the handler only wrote to its pipe
    EXPECT_EQ(ended, 0) << "nothing runs inside the signal handler";
    EXPECT_TRUE(run_until([&ended] { return ended > 0; }));
    ASSERT_EQ(raise(SIGHUP), 0);
    ASSERT_EQ(raise(SIGTERM), 0);
    for (int n = 0; n < 10; ++n) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ended, 1) << "the session ends once";
  }
  EXPECT_EQ(handler_of(SIGTERM), SIG_DFL);
  EXPECT_EQ(handler_of(SIGHUP), SIG_DFL);
  {
    SessionEndSignals again([&ended] { ++ended; });  // a new watcher works as the first did
    ASSERT_EQ(raise(SIGHUP), 0);
    EXPECT_TRUE(run_until([&ended] { return ended == 2; }));
  }
}

TEST(FileSizeSignal, IsIgnoredSoThatOversizedWritesFail) {
  let_oversized_writes_fail();
  EXPECT_EQ(handler_of(SIGXFSZ), SIG_IGN);
}

}  // namespace
}  // namespace zetra::platform
