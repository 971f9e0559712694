// The lock that keeps a second caller of the library from corrupting it. mingw-w64's win32 thread
// model has no std::mutex, so the Windows build takes a slim reader/writer lock instead.
#pragma once

#if defined(_WIN32) && !defined(_GLIBCXX_HAS_GTHREADS)
#include <windows.h>

namespace zetra::standins {

class LibraryLock {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace zetra::standins
#else
#include <mutex>

namespace zetra::standins {
using LibraryLock = std::mutex;
}  // namespace zetra::standins
#endif
