// Events, waits, spin locks and interlocked counters of the kernel emulation.
#include <chrono>
#include <condition_variable>
#include <thread>

#include "state.h"

namespace {

// One mutex and condition serve every event: events are few and waits are short.
std::mutex event_mutex;
std::condition_variable event_changed;
int waiters = 0;  // threads blocked in KeWaitForSingleObject; guarded by event_mutex

}  // namespace

extern "C" VOID NTAPI KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
  std::lock_guard lock(event_mutex);
  event->Type = type;
  event->SignalState = state ? 1 : 0;
}

extern "C" LONG NTAPI KeSetEvent(PRKEVENT event, LONG increment, BOOLEAN wait) {
  (void)increment;
  (void)wait;
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
  if (timeout != nullptr) emu::report_violation("KeWaitForSingleObject with a time-out: not emulated");
  if (emu::detail::spin_locks_held > 0) emu::report_violation("waiting while holding a spin lock");
  auto* event = static_cast<PRKEVENT>(object);
  std::unique_lock lock(event_mutex);
  ++waiters;
  event_changed.notify_all();
  event_changed.wait(lock, [event] { return event->SignalState != 0; });
  --waiters;
  if (event->Type == SynchronizationEvent) event->SignalState = 0;
  return STATUS_SUCCESS;
}

extern "C" VOID NTAPI KeInitializeSpinLock(PKSPIN_LOCK lock) { __atomic_store_n(lock, 0, __ATOMIC_RELEASE); }

extern "C" VOID NTAPI KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL old_irql) {
  while (__atomic_exchange_n(lock, 1, __ATOMIC_ACQUIRE) != 0) std::this_thread::yield();
  ++emu::detail::spin_locks_held;
  *old_irql = 0;
}

extern "C" VOID NTAPI KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL new_irql) {
  (void)new_irql;
  if (__atomic_load_n(lock, __ATOMIC_RELAXED) == 0) emu::report_violation("releasing a spin lock that is free");
  --emu::detail::spin_locks_held;
  __atomic_store_n(lock, 0, __ATOMIC_RELEASE);
}

extern "C" LONG NTAPI InterlockedIncrement(LONG volatile* addend) {
  return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

extern "C" LONG NTAPI InterlockedDecrement(LONG volatile* addend) {
  return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

extern "C" LONG NTAPI InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
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
