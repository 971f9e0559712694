// Controls and observations of the user-mode kernel emulation for tests and the simulated bus:
// rule violations, pool accounting with failure injection, names, waits, and a user-mode I/O manager.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "kernel_emulation/wdm.h"

namespace emu {

// Forgets every object, name, counter and injected fault. Objects still alive are leaked on purpose.
void reset();

// Kernel rules the code under test broke since reset (double completion, bad frees, writes into
// memory locked for reading, waits under a spin lock...). Tests expect this to stay empty.
std::vector<std::string> violations();
void report_violation(const std::string& what);

// Pool accounting. "Counted" allocations are the ones a driver asks for: pool, request blocks from
// the interface library, IRPs it builds, MDLs and device objects. Call n (0-based, counted from the
// arm call) fails when armed; -1 disarms.
void fail_allocation(long n);
long counted_allocations();
size_t outstanding_pool_blocks();
size_t outstanding_mdls();
size_t outstanding_secured_ranges();
void fail_next_attach();

// While on, MmProbeAndLockPages called by a driver raises, as the real one does when pages cannot
// be locked or a quota is exceeded; the driver has no handler, so that is a violation.
void fail_probes(bool on);

// Page protections of the emulated user process.
void protect_read_only(const void* address, size_t length);

// Object names: "\Device\..." and "\DosDevices\..." spelt with single backslashes.
bool device_name_exists(const std::u16string& name);
bool symbolic_link_exists(const std::u16string& link);
std::u16string symbolic_link_target(const std::u16string& link);  // empty when there is no such link
NTSTATUS create_foreign_symbolic_link(const std::u16string& link, const std::u16string& target);
std::vector<PDEVICE_OBJECT> devices_of(PDRIVER_OBJECT driver);

// Threads currently blocked in KeWaitForSingleObject; waiting for a count lets a test know that a
// remove (or a transfer) really is blocked without sleeping. Returns false after a 10 s safety limit.
int blocked_waiters();
bool wait_for_blocked_waiters(int count);

// Driver loading.
PDRIVER_OBJECT load_driver(PDRIVER_INITIALIZE entry, const std::u16string& name, NTSTATUS* status);
void unload_driver(PDRIVER_OBJECT driver);

// IRPs owned by the emulation's own callers (PnP manager, bus, user mode); not counted.
PIRP allocate_irp(CCHAR stack_size);
void free_irp(PIRP irp);
// Sends an IRP to a device, waits when it pends, and checks the completion rules on the way.
// The request's final status block goes to `result` when given: the request itself is poisoned
// as soon as it completes, so that a driver touching it afterwards is caught. `dispatched` runs
// once the dispatch routine has returned, with what it returned.
NTSTATUS send_and_wait(PDEVICE_OBJECT device, PIRP irp, IO_STATUS_BLOCK* result = nullptr,
                       const std::function<void(NTSTATUS)>& dispatched = {});
int start_next_power_calls(PIRP irp);

// MDL access as a bus driver does it: reads need locked pages, writes need pages locked for writing.
bool read_mdl(PMDL mdl, void* destination, size_t length);
bool write_mdl(PMDL mdl, const void* source, size_t length);

// User processes: each has its handles and says whether it is a 32-bit program on the 64-bit
// system. Requests carry their process; while a thread sends one it runs in that process's context,
// and the caller's buffers are that process's user memory until the request completes.
PEPROCESS create_process(bool wow64);
PEPROCESS default_process();  // a 64-bit process, where handles open unless told otherwise
PETHREAD thread_of(PEPROCESS process);

// User-mode I/O: open by "\\.\NAME", "\DosDevices\NAME" or a device name "\Device\NAME",
// device control with the method's buffer handling, close. Handles keep the device object's memory
// until closed, as file objects do. Closing sends IRP_MJ_CLEANUP, waits until no request of the
// handle is left, then sends IRP_MJ_CLOSE; it cancels nothing itself.
struct UserHandle;
NTSTATUS open_device(const std::u16string& name, UserHandle** handle, PEPROCESS process = nullptr);
NTSTATUS device_io_control(UserHandle* handle, ULONG code, const void* input, ULONG input_length, void* output,
                           ULONG output_length, ULONG* returned);
NTSTATUS close_device(UserHandle* handle);
// CancelIoEx: cancels every request of the handle still in progress.
void cancel_io(UserHandle* handle);
// The process ends (Task Manager): once each of its threads is out of the driver's dispatch
// routines, their pending requests are cancelled, and its handles are closed. A thread that stays
// inside a dispatch routine keeps the process from ending: the test ends at the wait limit.
void end_process(PEPROCESS process);
size_t requests_in_flight(UserHandle* handle);
PDEVICE_OBJECT device_of(UserHandle* handle);
std::u16string device_name_of(PDEVICE_OBJECT device);

}  // namespace emu
