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

struct IrpInfo {
  bool owned_by_caller = false;  // emulation caller frees it; otherwise freed at final completion
  bool final_done = false;       // every stack location has been completed
  int start_next_power = 0;      // PoStartNextPowerIrp calls seen for this IRP
  PMDL system_mdl = nullptr;     // MDL the I/O manager built for direct I/O
};

struct PoolBlock {
  size_t size;
  ULONG tag;
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
  std::set<HANDLE> secured;
  std::vector<std::pair<uintptr_t, uintptr_t>> read_only;  // [begin, end) ranges
  bool fail_next_attach = false;
};

State& state();
std::atomic<long>& allocation_counter();
std::atomic<long>& allocation_to_fail();
// True when this counted allocation must fail (consumes one count).
bool counted_allocation_fails();
void violation_locked(State& s, const std::string& what);
bool overlaps_read_only(State& s, const void* address, size_t length);
thread_local inline int spin_locks_held = 0;
// Set while the emulation itself creates objects (bus PDOs) so they do not count as driver allocations.
thread_local inline bool allocations_uncounted = false;

}  // namespace emu::detail
