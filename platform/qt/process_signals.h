// The signals the system sends the program: a write beyond the file-size limit fails as an error
// instead of ending the program, and the end of the session (SIGTERM, SIGHUP at logout) reaches
// the event loop, where the program can end in an orderly way.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace zetra::platform {

// SIGXFSZ ignored: a write past the limit returns an error (EFBIG) that the writer reports.
void let_oversized_writes_fail();

// While it lives, SIGTERM and SIGHUP run `on_end` once, from the event loop. The handler itself
// only writes a byte to a pipe; everything else happens in the notifier's slot. One at a time.
class SessionEndSignals : public QObject {
 public:
  explicit SessionEndSignals(std::function<void()> on_end, QObject* parent = nullptr);
  ~SessionEndSignals() override;
  SessionEndSignals(const SessionEndSignals&) = delete;
  SessionEndSignals& operator=(const SessionEndSignals&) = delete;

  // False when the pipe could not be made: the signals then keep their default action.
  bool installed() const { return notifier_ != nullptr; }

 private:
  void arrived();

  std::function<void()> on_end_;
  int read_fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  bool ended_ = false;  // on_end has run: later signals change nothing
};

}  // namespace zetra::platform
