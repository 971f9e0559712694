// Device objects, names, symbolic links, device stacks and driver loading of the kernel emulation.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "state.h"

namespace emu::detail {

State& state() {
  static State s;
  return s;
}

std::atomic<long>& allocation_counter() {
  static std::atomic<long> counter{0};
  return counter;
}

std::atomic<long>& allocation_to_fail() {
  static std::atomic<long> target{-1};
  return target;
}

bool counted_allocation_fails() {
  if (allocations_uncounted) return false;
  long index = allocation_counter().fetch_add(1);
  return index == allocation_to_fail().load();
}

// Also printed at once: a broken rule is often followed by a crash that would hide it.
void violation_locked(State& s, const std::string& what) {
  std::fprintf(stderr, "kernel emulation: rule broken: %s\n", what.c_str());
  s.violations.push_back(what);
}

namespace {

std::u16string to_string(PUNICODE_STRING u) {
  if (u == nullptr || u->Buffer == nullptr) return {};
  return std::u16string(u->Buffer, u->Length / sizeof(WCHAR));
}

void free_device_memory(PDEVICE_OBJECT device, DeviceInfo& info) {
  ::operator delete(info.extension, std::align_val_t(16));
  delete device;
}

}  // namespace

// Drops one reference; frees the device once it was deleted and nothing refers to it.
void release_device_reference(PDEVICE_OBJECT device) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.devices.find(device);
  if (it == s.devices.end()) return;
  device->ReferenceCount--;
  if (!it->second.deleted || device->ReferenceCount != 0) return;
  // The last handle is gone: the name of a deleted device leaves the namespace only now.
  auto name = s.device_names.find(it->second.name);
  if (name != s.device_names.end() && name->second == device) s.device_names.erase(name);
  if (device->AttachedDevice == nullptr) {
    free_device_memory(device, it->second);
    s.devices.erase(it);
  }
}

}  // namespace emu::detail

using namespace emu::detail;

extern "C" VOID NTAPI RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source) {
  size_t length = 0;
  if (source != nullptr)
    while (source[length] != 0) ++length;
  destination->Buffer = const_cast<PWSTR>(source);
  destination->Length = static_cast<USHORT>(length * sizeof(WCHAR));
  destination->MaximumLength = static_cast<USHORT>((length + 1) * sizeof(WCHAR));
}

extern "C" NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT driver, ULONG extension_size, PUNICODE_STRING name,
                                         ULONG type, ULONG characteristics, BOOLEAN exclusive,
                                         PDEVICE_OBJECT* result) {
  (void)exclusive;
  require_irql(PASSIVE_LEVEL, "IoCreateDevice");
  *result = nullptr;
  if (name != nullptr && name->Length > 0 && !(characteristics & FILE_DEVICE_SECURE_OPEN))
    emu::report_violation("named device object without FILE_DEVICE_SECURE_OPEN: its namespace is open to anyone");
  if (counted_allocation_fails()) return STATUS_INSUFFICIENT_RESOURCES;
  State& s = state();
  std::lock_guard lock(s.mutex);
  std::u16string device_name = to_string(name);
  if (!device_name.empty() && s.device_names.count(device_name)) return STATUS_OBJECT_NAME_COLLISION;
  auto* device = new DEVICE_OBJECT{};
  DeviceInfo info;
  info.name = device_name;
  info.extension = ::operator new(extension_size ? extension_size : 1, std::align_val_t(16));
  std::memset(info.extension, 0, extension_size);
  device->Type = 3;
  device->Size = sizeof(DEVICE_OBJECT);
  device->DriverObject = driver;
  device->DeviceExtension = extension_size ? info.extension : nullptr;
  device->DeviceType = type;
  device->Characteristics = characteristics;
  device->Flags = DO_DEVICE_INITIALIZING;
  device->StackSize = 1;
  device->NextDevice = driver->DeviceObject;
  driver->DeviceObject = device;
  if (!device_name.empty()) s.device_names[device_name] = device;
  s.devices[device] = info;
  *result = device;
  return STATUS_SUCCESS;
}

extern "C" VOID NTAPI IoDeleteDevice(PDEVICE_OBJECT device) {
  require_irql(PASSIVE_LEVEL, "IoDeleteDevice");
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.devices.find(device);
  if (it == s.devices.end() || it->second.deleted) {
    violation_locked(s, "IoDeleteDevice on an unknown or deleted device object");
    return;
  }
  DeviceInfo& info = it->second;
  if (info.attached_to != nullptr) violation_locked(s, "IoDeleteDevice while still attached to a lower device");
  // A named device object is temporary from now on: its name goes with the last handle to it.
  if (!info.name.empty() && device->ReferenceCount == 0) s.device_names.erase(info.name);
  for (PDEVICE_OBJECT* p = &device->DriverObject->DeviceObject; *p != nullptr; p = &(*p)->NextDevice) {
    if (*p == device) {
      *p = device->NextDevice;
      break;
    }
  }
  info.deleted = true;
  // The memory stays while handles refer to it or a device above has not detached yet.
  if (device->ReferenceCount == 0 && device->AttachedDevice == nullptr) {
    ::operator delete(info.extension, std::align_val_t(16));
    delete device;
    s.devices.erase(it);
  }
}

extern "C" NTSTATUS NTAPI IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING device_name) {
  require_irql(PASSIVE_LEVEL, "IoCreateSymbolicLink");
  State& s = state();
  std::lock_guard lock(s.mutex);
  std::u16string name = to_string(link);
  if (s.links.count(name)) return STATUS_OBJECT_NAME_COLLISION;
  s.links[name] = to_string(device_name);
  return STATUS_SUCCESS;
}

extern "C" NTSTATUS NTAPI IoDeleteSymbolicLink(PUNICODE_STRING link) {
  require_irql(PASSIVE_LEVEL, "IoDeleteSymbolicLink");
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.links.erase(to_string(link)) == 0) return STATUS_OBJECT_NAME_NOT_FOUND;
  return STATUS_SUCCESS;
}

extern "C" PDEVICE_OBJECT NTAPI IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
  require_irql(PASSIVE_LEVEL, "IoAttachDeviceToDeviceStack");
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.fail_next_attach) {
    s.fail_next_attach = false;
    return nullptr;
  }
  PDEVICE_OBJECT top = target;
  while (top->AttachedDevice != nullptr) top = top->AttachedDevice;
  top->AttachedDevice = source;
  source->StackSize = static_cast<CCHAR>(top->StackSize + 1);
  s.devices[source].attached_to = top;
  return top;
}

extern "C" VOID NTAPI IoDetachDevice(PDEVICE_OBJECT target) {
  require_irql(PASSIVE_LEVEL, "IoDetachDevice");
  State& s = state();
  std::lock_guard lock(s.mutex);
  PDEVICE_OBJECT upper = target->AttachedDevice;
  if (upper == nullptr) {
    violation_locked(s, "IoDetachDevice on a device with nothing attached");
    return;
  }
  target->AttachedDevice = nullptr;
  s.devices[upper].attached_to = nullptr;
  auto it = s.devices.find(target);
  if (it != s.devices.end() && it->second.deleted && target->ReferenceCount == 0) {
    free_device_memory(target, it->second);
    s.devices.erase(it);
  }
}

namespace emu {

void reset() {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  s.violations.clear();
  s.devices.clear();
  s.device_names.clear();
  s.links.clear();
  s.irps.clear();
  s.pool.clear();
  s.mdls.clear();
  s.secured.clear();
  s.read_only.clear();
  s.user_ranges.clear();
  for (auto& [mdl, view] : s.system_views) std::free(view);
  s.system_views.clear();
  s.fail_next_attach = false;
  detail::allocation_counter() = 0;
  detail::allocation_to_fail() = -1;
}

std::vector<std::string> violations() {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  return s.violations;
}

void report_violation(const std::string& what) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  detail::violation_locked(s, what);
}

void fail_next_attach() {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  s.fail_next_attach = true;
}

std::u16string device_name_of(PDEVICE_OBJECT device) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  auto it = s.devices.find(device);
  return it != s.devices.end() ? it->second.name : std::u16string();
}

bool device_name_exists(const std::u16string& name) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  return s.device_names.count(name) != 0;
}

std::u16string symbolic_link_target(const std::u16string& link) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  auto it = s.links.find(link);
  return it != s.links.end() ? it->second : std::u16string();
}

bool symbolic_link_exists(const std::u16string& link) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  return s.links.count(link) != 0;
}

NTSTATUS create_foreign_symbolic_link(const std::u16string& link, const std::u16string& target) {
  UNICODE_STRING l{static_cast<USHORT>(link.size() * 2), static_cast<USHORT>(link.size() * 2),
                   const_cast<PWSTR>(link.c_str())};
  UNICODE_STRING t{static_cast<USHORT>(target.size() * 2), static_cast<USHORT>(target.size() * 2),
                   const_cast<PWSTR>(target.c_str())};
  return IoCreateSymbolicLink(&l, &t);
}

std::vector<PDEVICE_OBJECT> devices_of(PDRIVER_OBJECT driver) {
  State& s = detail::state();
  std::lock_guard lock(s.mutex);
  std::vector<PDEVICE_OBJECT> result;
  for (PDEVICE_OBJECT d = driver->DeviceObject; d != nullptr; d = d->NextDevice) result.push_back(d);
  return result;
}

PDRIVER_OBJECT load_driver(PDRIVER_INITIALIZE entry, const std::u16string& name, NTSTATUS* status) {
  auto* driver = new DRIVER_OBJECT{};
  driver->Type = 4;
  driver->Size = sizeof(DRIVER_OBJECT);
  driver->DriverExtension = new DRIVER_EXTENSION{};
  driver->DriverExtension->DriverObject = driver;
  driver->DriverInit = entry;
  auto* buffer = new std::u16string(name);
  RtlInitUnicodeString(&driver->DriverName, buffer->c_str());
  static const char16_t registry[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\kvusb";
  UNICODE_STRING path;
  RtlInitUnicodeString(&path, registry);
  *status = entry(driver, &path);
  driver->DriverSection = buffer;  // keeps the name's storage with the object
  return driver;
}

void unload_driver(PDRIVER_OBJECT driver) {
  if (driver->DeviceObject != nullptr) report_violation("driver unloaded while it still owns device objects");
  if (driver->DriverUnload != nullptr) driver->DriverUnload(driver);
  delete static_cast<std::u16string*>(driver->DriverSection);
  delete driver->DriverExtension;
  delete driver;
}

}  // namespace emu
