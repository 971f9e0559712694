// A recorder on the stand-in unit that records at accelerated ticks in the folder it is given (at
// 5 samples a second, or at the rate of the menu item given) and reports each journal write on
// stdout ("journaled <samples> <hash>") until it is killed.
// The kill test starts it, kills it with SIGKILL and recovers what it left.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "recorder/files/files_subsystem.h"
#include "tests/reliability/recording_driver.h"
#include "tests/support/recorder_harness.h"

int main(int argc, char* argv[]) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s <program folder> [<sample-rate item>]\n", argv[0]);
    return 2;
  }
  zetra::testing::RecorderHarness h(zetra::testing::Transport::Usb, argv[1]);
  h.library.use_source(1, h.library.model(1));
  h.recorder.press(argc == 3 ? argv[2] : "p5s1");  // by default 5 samples a second
  h.connect();
  h.recorder.press("crec");
  zetra::testing::TimerClock clock(h.recorder);
  const zetra::files::RecoveryJournal& journal = h.recorder.files().journal;
  size_t reported = 0;
  // Bounded: an hour of recording at most, should nobody kill it.
  for (int64_t ms = 0; ms < 3600 * 1000; ms += 100) {
    clock.advance(100);
    const size_t end = journal.journaled_end();
    if (end == reported) continue;
    reported = end;
    std::printf("journaled %zu %" PRIu64 "\n", end - 1, zetra::testing::samples_hash(h.state(), end - 1));
    std::fflush(stdout);
  }
  return 1;
}
