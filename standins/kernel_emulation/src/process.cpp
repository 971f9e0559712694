// Processes and threads of the kernel emulation, the user memory each may touch, and the exception
// handlers a driver wraps around routines that raise.
#include <csetjmp>
#include <deque>

#include "state.h"

struct _ETHREAD {
  PEPROCESS process;
};

struct _EPROCESS {
  bool wow64 = false;  // a 32-bit program on the 64-bit system
  _ETHREAD thread{};   // the thread its requests come from
};

namespace emu::detail {

namespace {

thread_local PEPROCESS this_thread_process = nullptr;  // null: the system process

_EPROCESS& system_process() {
  static _EPROCESS system{};
  return system;
}

// Processes made by tests; they live as long as the emulation (few and small).
std::deque<_EPROCESS>& processes() {
  static std::deque<_EPROCESS> all;
  return all;
}

struct Handler {
  std::jmp_buf frame;
  NTSTATUS code = STATUS_SUCCESS;
};
thread_local std::vector<Handler*> handlers;  // innermost last

}  // namespace

PEPROCESS current_process() { return this_thread_process != nullptr ? this_thread_process : &system_process(); }

ProcessContext::ProcessContext(PEPROCESS process) : previous(this_thread_process) { this_thread_process = process; }
ProcessContext::~ProcessContext() { this_thread_process = previous; }

PEPROCESS user_memory_owner(State& s, const void* address, size_t length) {
  auto begin = reinterpret_cast<uintptr_t>(address);
  for (const UserRange& r : s.user_ranges)
    if (begin < r.end && begin + length > r.begin) return r.owner;
  return nullptr;
}

void add_user_range(const void* address, size_t length, PEPROCESS owner) {
  if (address == nullptr || length == 0) return;
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto begin = reinterpret_cast<uintptr_t>(address);
  s.user_ranges.push_back(UserRange{begin, begin + length, owner});
}

void remove_user_range(const void* address, size_t length, PEPROCESS owner) {
  if (address == nullptr || length == 0) return;
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto begin = reinterpret_cast<uintptr_t>(address);
  for (auto it = s.user_ranges.begin(); it != s.user_ranges.end(); ++it) {
    if (it->begin == begin && it->end == begin + length && it->owner == owner) {
      s.user_ranges.erase(it);
      return;
    }
  }
}

bool inside_exception_handler() { return !handlers.empty(); }

// Nothing with a destructor may be alive between the handler and here: the jump skips it.
void raise_status(NTSTATUS code, const char* routine) {
  if (handlers.empty()) {
    report_violation(std::string(routine) + " raised an exception in a driver that cannot handle it");
    return;
  }
  Handler* handler = handlers.back();
  handlers.pop_back();
  handler->code = code;
  std::longjmp(handler->frame, 1);
}

}  // namespace emu::detail

using namespace emu::detail;

extern "C" PEPROCESS NTAPI IoGetCurrentProcess(void) { return current_process(); }

extern "C" PEPROCESS NTAPI IoGetRequestorProcess(PIRP irp) {
  return irp->Tail.Overlay.Thread != nullptr ? irp->Tail.Overlay.Thread->process : nullptr;
}

extern "C" BOOLEAN NTAPI IoIs32bitProcess(PIRP irp) {
  PEPROCESS process = irp != nullptr ? IoGetRequestorProcess(irp) : current_process();
  return process != nullptr && process->wow64;
}

// A user address is only valid in its own process, where its pages can be paged out: touching it
// needs that context, a level that may take page faults, and a handler for the faults that cannot
// be resolved (the range freed or re-protected by another thread meanwhile).
extern "C" VOID NTAPI EmuCheckTouch(const void* address, SIZE_T length, const char* routine) {
  if (length == 0) return;
  PEPROCESS owner;
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.user_ranges.empty()) return;
    owner = user_memory_owner(s, address, length);
  }
  if (owner == nullptr) return;
  const std::string what = std::string(routine) + " touched a user address ";
  if (owner != current_process()) emu::report_violation(what + "from another process's context");
  if (current_irql > APC_LEVEL)
    emu::report_violation(what + "at IRQL " + std::to_string(current_irql) + " (its page may be paged out)");
  if (!inside_exception_handler()) emu::report_violation(what + "outside an exception handler");
}

extern "C" NTSTATUS NTAPI EmuCallWithHandler(EMU_GUARDED_BODY* body, PVOID context) {
  Handler handler;
  handlers.push_back(&handler);
  const int spin_locks = spin_locks_held;
  if (setjmp(handler.frame) != 0) {
    // Popped by raise_status; a raise cannot happen while a spin lock is held (nothing raising
    // may be called above APC_LEVEL), but a lock taken inside would now be lost.
    if (spin_locks_held != spin_locks) emu::report_violation("an exception left a spin lock held");
    return handler.code;
  }
  body(context);
  handlers.pop_back();
  return STATUS_SUCCESS;
}

namespace emu {

PEPROCESS create_process(bool wow64) {
  std::lock_guard lock(detail::state().mutex);
  _EPROCESS& process = detail::processes().emplace_back();
  process.wow64 = wow64;
  process.thread.process = &process;
  return &process;
}

PEPROCESS default_process() {
  static PEPROCESS const process = create_process(false);
  return process;
}

PETHREAD thread_of(PEPROCESS process) { return &process->thread; }

}  // namespace emu
