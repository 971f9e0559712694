#include "platform/qt/process_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace zetra::platform {
namespace {

constexpr int kSessionSignals[] = {SIGTERM, SIGHUP};
// The write end of the pipe, for the handler: a plain int is all it may touch.
volatile sig_atomic_t g_write_fd = -1;

extern "C" void on_session_signal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a wake-up: losing this byte loses nothing.
  [[maybe_unused]] const ssize_t written = ::write(g_write_fd, &byte, 1);
  errno = saved;
}

void set_handler(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

void let_oversized_writes_fail() {
  set_handler(SIGXFSZ, SIG_IGN);
}

SessionEndSignals::SessionEndSignals(std::function<void()> on_end, QObject* parent)
    : QObject(parent), on_end_(std::move(on_end)) {
  int fds[2];
  if (g_write_fd >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  read_fd_ = fds[0];
  g_write_fd = fds[1];
  notifier_ = new QSocketNotifier(read_fd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { arrived(); });
  for (const int signal_number : kSessionSignals) set_handler(signal_number, on_session_signal);
}

SessionEndSignals::~SessionEndSignals() {
  if (notifier_ == nullptr) return;
  for (const int signal_number : kSessionSignals) set_handler(signal_number, SIG_DFL);
  ::close(g_write_fd);
  g_write_fd = -1;
  ::close(read_fd_);
}

void SessionEndSignals::arrived() {
  char bytes[16];
  while (::read(read_fd_, bytes, sizeof bytes) > 0) {
  }
  if (ended_) return;
  ended_ = true;
  if (on_end_) on_end_();
}

}  // namespace zetra::platform
