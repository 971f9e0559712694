// Non-paged pool with failure injection, MDLs, page locking and user-range securing of the emulation.
#include <cstdlib>

#include "state.h"

namespace emu::detail {

bool overlaps_read_only(State& s, const void* address, size_t length) {
  auto begin = reinterpret_cast<uintptr_t>(address);
  for (auto [b, e] : s.read_only)
    if (begin < e && begin + length > b) return true;
  return false;
}

PMDL make_mdl(PVOID address, ULONG length) {
  auto* mdl = new MDL{};
  mdl->Size = sizeof(MDL);
  mdl->StartVa = address;
  mdl->ByteCount = length;
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.mdls.insert(mdl);
  return mdl;
}

}  // namespace emu::detail

using namespace emu::detail;

extern "C" PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag) {
  require_irql(DISPATCH_LEVEL, "ExAllocatePoolWithTag");
  // The emulation stands for the x64 build, where data belongs in no-execute pool.
  if (type != NonPagedPoolNx) emu::report_violation("pool allocation that is not non-paged no-execute");
  if (counted_allocation_fails()) return nullptr;
  void* p = std::malloc(bytes ? bytes : 1);
  std::memset(p, 0xA5, bytes);  // fresh pool is never zero: reading it before writing shows
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.pool[p] = PoolBlock{bytes, tag};
  return p;
}

static void free_pool(PVOID p, const ULONG* tag) {
  require_irql(DISPATCH_LEVEL, "ExFreePoolWithTag");
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.pool.find(p);
  if (it == s.pool.end()) {
    violation_locked(s, "freeing pool that is not allocated");
    return;
  }
  if (tag != nullptr && it->second.tag != *tag) violation_locked(s, "freeing pool with a different tag");
  s.pool.erase(it);
  std::free(p);
}

extern "C" VOID NTAPI ExFreePoolWithTag(PVOID p, ULONG tag) { free_pool(p, &tag); }
extern "C" VOID NTAPI ExFreePool(PVOID p) { free_pool(p, nullptr); }

extern "C" PMDL NTAPI IoAllocateMdl(PVOID address, ULONG length, BOOLEAN secondary, BOOLEAN charge_quota,
                                    PIRP irp) {
  require_irql(DISPATCH_LEVEL, "IoAllocateMdl");
  if (secondary || irp != nullptr) emu::report_violation("IoAllocateMdl chaining to an IRP: not emulated");
  (void)charge_quota;
  if (counted_allocation_fails()) return nullptr;
  return make_mdl(address, length);
}

extern "C" VOID NTAPI IoFreeMdl(PMDL mdl) {
  require_irql(DISPATCH_LEVEL, "IoFreeMdl");
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.mdls.erase(mdl) == 0) {
    violation_locked(s, "IoFreeMdl of an unknown MDL");
    return;
  }
  if (mdl->MdlFlags & MDL_PAGES_LOCKED) violation_locked(s, "IoFreeMdl of an MDL whose pages are still locked");
  delete mdl;
}

namespace emu::detail {

// False where the real routine raises: writing into read-only user memory. Locked user pages get a
// system view of their own, as the system maps them at another address; a driver that uses the
// user address instead of the view is caught by the user-memory rules. After a write the view goes
// back into the user pages when they are unlocked.
bool probe_and_lock(PMDL mdl, KPROCESSOR_MODE mode, LOCK_OPERATION operation) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (mode == UserMode && operation != IoReadAccess && overlaps_read_only(s, mdl->StartVa, mdl->ByteCount))
    return false;
  if (mdl->MdlFlags & MDL_PAGES_LOCKED) violation_locked(s, "MmProbeAndLockPages of an MDL already locked");
  mdl->MdlFlags |= MDL_PAGES_LOCKED | MDL_MAPPED_TO_SYSTEM_VA;
  if (operation != IoReadAccess) mdl->MdlFlags |= MDL_WRITE_OPERATION;
  mdl->MappedSystemVa = mdl->StartVa;
  if (user_memory_owner(s, mdl->StartVa, mdl->ByteCount) != nullptr) {
    void* view = std::malloc(mdl->ByteCount ? mdl->ByteCount : 1);
    std::memcpy(view, mdl->StartVa, mdl->ByteCount);
    mdl->MappedSystemVa = view;
    s.system_views[mdl] = view;
  }
  return true;
}

}  // namespace emu::detail

extern "C" VOID NTAPI MmProbeAndLockPages(PMDL mdl, KPROCESSOR_MODE mode, LOCK_OPERATION operation) {
  require_irql(APC_LEVEL, "MmProbeAndLockPages");
  bool raises;
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    raises = s.fail_probes;
    PEPROCESS owner = user_memory_owner(s, mdl->StartVa, mdl->ByteCount);
    if (owner != nullptr && owner != current_process())
      violation_locked(s, "MmProbeAndLockPages of a user address from another process's context");
  }
  // The real routine raises when the pages cannot be locked for the access asked: read-only pages,
  // or (injected here) a quota exceeded or a paging error.
  if (raises)
    raise_status(STATUS_WORKING_SET_QUOTA, "MmProbeAndLockPages");
  else if (!probe_and_lock(mdl, mode, operation))
    raise_status(STATUS_ACCESS_VIOLATION, "MmProbeAndLockPages");
}

extern "C" VOID NTAPI MmUnlockPages(PMDL mdl) {
  require_irql(DISPATCH_LEVEL, "MmUnlockPages");
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (!(mdl->MdlFlags & MDL_PAGES_LOCKED)) {
    violation_locked(s, "MmUnlockPages of pages not locked");
    return;
  }
  auto view = s.system_views.find(mdl);
  if (view != s.system_views.end()) {
    if (mdl->MdlFlags & MDL_WRITE_OPERATION) std::memcpy(mdl->StartVa, view->second, mdl->ByteCount);
    std::free(view->second);
    s.system_views.erase(view);
  }
  mdl->MappedSystemVa = nullptr;
  mdl->MdlFlags &= ~(MDL_PAGES_LOCKED | MDL_WRITE_OPERATION | MDL_MAPPED_TO_SYSTEM_VA);
}

extern "C" HANDLE NTAPI MmSecureVirtualMemory(PVOID address, SIZE_T size, ULONG probe_mode) {
  require_irql(APC_LEVEL, "MmSecureVirtualMemory");
  State& s = state();
  std::lock_guard lock(s.mutex);
  PEPROCESS owner = user_memory_owner(s, address, size);
  if (owner != nullptr && owner != current_process())
    violation_locked(s, "MmSecureVirtualMemory of a user address from another process's context");
  if (probe_mode == PAGE_READWRITE && overlaps_read_only(s, address, size)) return nullptr;
  auto* handle = new int(0);
  s.secured.insert(handle);
  return handle;
}

extern "C" VOID NTAPI MmUnsecureVirtualMemory(HANDLE handle) {
  require_irql(APC_LEVEL, "MmUnsecureVirtualMemory");
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.secured.erase(handle) == 0) {
    violation_locked(s, "MmUnsecureVirtualMemory of an unknown handle");
    return;
  }
  delete static_cast<int*>(handle);
}

namespace emu {

void fail_allocation(long n) {
  detail::allocation_to_fail() = n < 0 ? -1 : detail::allocation_counter().load() + n;
}

long counted_allocations() { return detail::allocation_counter().load(); }

size_t outstanding_pool_blocks() {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  return s.pool.size();
}

size_t outstanding_mdls() {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  return s.mdls.size();
}

size_t outstanding_secured_ranges() {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  return s.secured.size();
}

void fail_probes(bool on) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  s.fail_probes = on;
}

void protect_read_only(const void* address, size_t length) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  auto begin = reinterpret_cast<uintptr_t>(address);
  s.read_only.emplace_back(begin, begin + length);
}

bool read_mdl(PMDL mdl, void* destination, size_t length) {
  if (!(mdl->MdlFlags & MDL_PAGES_LOCKED) || length > mdl->ByteCount) {
    report_violation("bus read through an MDL that is unlocked or too short");
    return false;
  }
  std::memcpy(destination, MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), length);
  return true;
}

bool write_mdl(PMDL mdl, const void* source, size_t length) {
  if (!(mdl->MdlFlags & MDL_PAGES_LOCKED) || !(mdl->MdlFlags & MDL_WRITE_OPERATION) || length > mdl->ByteCount) {
    report_violation("bus write through an MDL not locked for writing (or too short)");
    return false;
  }
  std::memcpy(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority), source, length);
  return true;
}

}  // namespace emu
