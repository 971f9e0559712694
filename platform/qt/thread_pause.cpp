// Sleeps instead of spinning, so the pause costs no processor time.
#include "platform/qt/thread_pause.h"

#include <chrono>
#include <thread>

namespace zetra::platform {

void ThreadPause::wait_microseconds(int microseconds) {
  if (microseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

}  // namespace zetra::platform
