// Events, waits, spin locks and interlocked counters of the kernel emulation.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <thread>

#include "state.h"

namespace {

// One mutex and condition serve every event: events are few and waits are short.
std::mutex event_mutex;
std::condition_variable event_changed;
int waiters = 0;  // threads blocked in KeWaitForSingleObject; guarded by event_mutex

}  // namespace

namespace emu::detail {

// How long a wait without time-out may take before the test is failed instead of hung.
int wait_limit_seconds() {
  const char* text = std::getenv("KVUSB_EMULATION_WAIT_LIMIT");
  int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 60;
}

}  // namespace emu::detail

using emu::detail::wait_limit_seconds;

extern "C" VOID NTAPI KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
  emu::detail::require_irql(DISPATCH_LEVEL, "KeInitializeEvent");
  std::lock_guard lock(event_mutex);
  event->Type = type;
  event->SignalState = state ? 1 : 0;
}

extern "C" LONG NTAPI KeSetEvent(PRKEVENT event, LONG increment, BOOLEAN wait) {
  (void)increment;
  (void)wait;
  emu::detail::require_irql(DISPATCH_LEVEL, "KeSetEvent");
  std::lock_guard lock(event_mutex);
  LONG previous = event->SignalState;
  event->SignalState = 1;
  event_changed.notify_all();
  return previous;
}

extern "C" VOID NTAPI KeClearEvent(PRKEVENT event) {
  std::lock_guard lock(event_mutex);
  event->SignalState = 0;
}

extern "C" NTSTATUS NTAPI KeWaitForSingleObject(PVOID object, KWAIT_REASON reason, KPROCESSOR_MODE mode,
                                                BOOLEAN alertable, PLARGE_INTEGER timeout) {
  (void)reason;
  (void)mode;
  (void)alertable;
  const bool polls = timeout != nullptr && timeout->QuadPart == 0;
  emu::detail::require_irql(polls ? DISPATCH_LEVEL : APC_LEVEL, "KeWaitForSingleObject");
  if (emu::detail::spin_locks_held > 0) emu::report_violation("waiting while holding a spin lock");
  if (timeout != nullptr && !polls && timeout->QuadPart > 0)
    emu::report_violation("KeWaitForSingleObject with an absolute time: not emulated");
  auto* event = static_cast<PRKEVENT>(object);
  std::unique_lock lock(event_mutex);
  auto signalled = [event] { return event->SignalState != 0; };
  if (polls) {
    if (!signalled()) return STATUS_TIMEOUT;
  } else if (timeout != nullptr) {
    // A relative time-out in 100 ns units.
    ++waiters;
    event_changed.notify_all();
    bool got = event_changed.wait_for(lock, std::chrono::microseconds(-timeout->QuadPart / 10), signalled);
    --waiters;
    if (!got) return STATUS_TIMEOUT;
  } else {
    ++waiters;
    event_changed.notify_all();
    // No wait in a test lasts this long: a request that never completes or a count never released
    // would hang the run, so it fails here with a message instead.
    if (!event_changed.wait_for(lock, std::chrono::seconds(wait_limit_seconds()), signalled)) {
      std::fprintf(stderr, "kernel emulation: a wait without time-out was not satisfied in %d s "
                           "(a request never completed or a count never released)\n", wait_limit_seconds());
      std::abort();
    }
    --waiters;
  }
  if (event->Type == SynchronizationEvent) event->SignalState = 0;
  return STATUS_SUCCESS;
}

extern "C" VOID NTAPI KeInitializeSpinLock(PKSPIN_LOCK lock) { __atomic_store_n(lock, 0, __ATOMIC_RELEASE); }

extern "C" VOID NTAPI KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL old_irql) {
  emu::detail::require_irql(DISPATCH_LEVEL, "KeAcquireSpinLock");
  while (__atomic_exchange_n(lock, 1, __ATOMIC_ACQUIRE) != 0) std::this_thread::yield();
  ++emu::detail::spin_locks_held;
  *old_irql = emu::detail::current_irql;
  emu::detail::current_irql = DISPATCH_LEVEL;
}

extern "C" VOID NTAPI KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL new_irql) {
  if (__atomic_load_n(lock, __ATOMIC_RELAXED) == 0) emu::report_violation("releasing a spin lock that is free");
  --emu::detail::spin_locks_held;
  __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
  emu::detail::current_irql = new_irql;
}

extern "C" KIRQL NTAPI KeGetCurrentIrql(void) { return emu::detail::current_irql; }

namespace emu::detail {

void require_irql(KIRQL highest, const char* routine) {
  if (current_irql > highest)
    report_violation(std::string(routine) + " called at IRQL " + std::to_string(current_irql) + ", above " +
                     std::to_string(highest));
}

}  // namespace emu::detail

extern "C" LONG NTAPI InterlockedIncrement(LONG volatile* addend) {
  return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

extern "C" LONG NTAPI InterlockedDecrement(LONG volatile* addend) {
  return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

extern "C" LONG NTAPI InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

extern "C" LONG NTAPI InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;  // the value found
}

namespace emu {

int blocked_waiters() {
  std::lock_guard lock(event_mutex);
  return waiters;
}

bool wait_for_blocked_waiters(int count) {
  std::unique_lock lock(event_mutex);
  return event_changed.wait_for(lock, std::chrono::seconds(10), [count] { return waiters >= count; });
}

}  // namespace emu
