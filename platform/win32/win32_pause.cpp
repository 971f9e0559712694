// Waits of a millisecond and more sleep on a high-resolution timer up to the last stretch; the
// rest is counted on the performance counter, so no wait ends early and none ends much late.
#include "platform/win32/win32_pause.h"

#include <windows.h>

#include <cstdint>

namespace zetra::platform {
namespace {

// Not in every SDK's headers yet (Windows 10 1803 and later).
constexpr DWORD kHighResolutionTimer = 0x00000002;
constexpr int kSpinMicroseconds = 1000;  // the stretch counted rather than slept
constexpr int kCoarseSleepMicroseconds = 16000;  // one tick of the system's default timer

int64_t counter() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

Win32Pause::Win32Pause() {
  timer_ = ::CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
}

Win32Pause::~Win32Pause() {
  if (timer_) ::CloseHandle(timer_);
}

void Win32Pause::wait_microseconds(int microseconds) {
  if (microseconds <= 0) return;
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  const int64_t end = counter() + frequency.QuadPart * microseconds / 1000000;
  const int sleep = microseconds - kSpinMicroseconds;
  if (sleep > 0 && timer_) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(sleep) * 10;  // relative, in 100 ns
    if (::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      ::WaitForSingleObject(timer_, INFINITE);
    }
  } else if (sleep > kCoarseSleepMicroseconds) {
    // The plain sleep may end up to a tick late: it stops that much before the end.
    ::Sleep(static_cast<DWORD>((sleep - kCoarseSleepMicroseconds) / 1000));
  }
  while (counter() < end) YieldProcessor();  // a macro on x86: no :: before it
}

}  // namespace zetra::platform
