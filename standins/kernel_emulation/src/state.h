// Shared bookkeeping of the kernel emulation: one mutex guards every table here.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "kernel_emulation/emulation.h"

namespace emu::detail {

struct DeviceInfo {
  std::u16string name;
  PDEVICE_OBJECT attached_to = nullptr;  // the device this one was attached on top of
  bool deleted = false;                  // IoDeleteDevice ran; memory stays while handles refer to it
  void* extension = nullptr;
};

enum class IrpOwner {
  caller,    // an emulation caller (PnP manager, bus, user mode): poisoned at final completion, freed by the caller
  threaded,  // built by IoBuildDeviceIoControlRequest: freed at final completion
  driver,    // IoAllocateIrp: the driver must stop its completion and call IoFreeIrp
};

struct IrpInfo {
  IrpOwner owner = IrpOwner::caller;
  bool final_done = false;       // every stack location has been completed
  bool pending_returned = false; // the pending mark that reached the top
  bool at_lower = false;         // a driver's own request sent down and not yet back with its owner
  int start_next_power = 0;      // PoStartNextPowerIrp calls seen for this IRP
  size_t bytes = 0;              // size of the allocation, for poisoning
  PDEVICE_OBJECT filter = nullptr;  // the upper filter passed it down and waits for its completion routine
};

struct PoolBlock {
  size_t size;
  ULONG tag;
};

// A caller's buffer for the time of its request: user memory of that process.
struct UserRange {
  uintptr_t begin;
  uintptr_t end;
  PEPROCESS owner;
};

struct State {
  std::mutex mutex;  // guards everything below
  std::vector<std::string> violations;
  std::map<PDEVICE_OBJECT, DeviceInfo> devices;
  std::map<std::u16string, PDEVICE_OBJECT> device_names;
  std::map<std::u16string, std::u16string> links;  // link name -> device name
  std::map<PIRP, IrpInfo> irps;
  std::map<void*, PoolBlock> pool;
  std::set<PMDL> mdls;
  std::map<PMDL, void*> system_views;  // locked user pages: the system's own view of them
  std::set<HANDLE> secured;
  std::vector<std::pair<uintptr_t, uintptr_t>> read_only;  // [begin, end) ranges
  std::vector<UserRange> user_ranges;                      // buffers of requests in progress
  bool fail_next_attach = false;
  bool fail_probes = false;
};

State& state();
std::atomic<long>& allocation_counter();
std::atomic<long>& allocation_to_fail();
// True when this counted allocation must fail (consumes one count).
bool counted_allocation_fails();
void violation_locked(State& s, const std::string& what);
bool overlaps_read_only(State& s, const void* address, size_t length);
// The process whose user memory the range is, or null for kernel memory (caller holds the mutex).
PEPROCESS user_memory_owner(State& s, const void* address, size_t length);
// The process this thread runs in: the user process of a request it sends, else the system.
PEPROCESS current_process();
// Makes this thread run in `process` for a scope, as a thread of that process entering the kernel.
struct ProcessContext {
  explicit ProcessContext(PEPROCESS process);
  ~ProcessContext();
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;
  PEPROCESS previous;
};
// A caller's buffer is its process's user memory from add_user_range until remove_user_range.
void add_user_range(const void* address, size_t length, PEPROCESS owner);
void remove_user_range(const void* address, size_t length, PEPROCESS owner);
// Raises an exception as a kernel routine does: into the innermost EmuCallWithHandler of this
// thread, or, with none, a violation (the real system stops) and the routine returns.
void raise_status(NTSTATUS code, const char* routine);
bool inside_exception_handler();
thread_local inline int spin_locks_held = 0;
// Interrupt request level of the emulated processor this thread runs on.
thread_local inline KIRQL current_irql = PASSIVE_LEVEL;
// Records a violation when the thread runs above `highest` in a routine that allows no more.
void require_irql(KIRQL highest, const char* routine);
// Runs a scope at a raised level, as the bus does when it completes requests.
struct RaisedIrql {
  explicit RaisedIrql(KIRQL level) : previous(current_irql) { current_irql = level; }
  ~RaisedIrql() { current_irql = previous; }
  RaisedIrql(const RaisedIrql&) = delete;
  RaisedIrql& operator=(const RaisedIrql&) = delete;
  KIRQL previous;
};
constexpr unsigned char kPoison = 0xDD;  // fills a request its owner freed
// Set while the emulation itself creates objects (bus PDOs) so they do not count as driver allocations.
thread_local inline bool allocations_uncounted = false;

}  // namespace emu::detail
