// The one place that knows which kernel the driver is built for: the Windows kernel headers from
// mingw-w64, or the user-mode emulation with the same names, structures and signatures.
#pragma once

#if defined(KVUSB_WINDOWS_KERNEL)
// wdm.h redeclares two intrinsics in C++ mode; these keep mingw's own definitions out.
#  define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#  define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
extern "C" {
#  include <ntddk.h>
#  include <usb.h>
#  include <usbioctl.h>
#  include <usbdlib.h>  // has no extern "C" of its own
// Exported by the kernel on both architectures; mingw-w64 declares it only in ntifs.h.
NTKERNELAPI PEPROCESS NTAPI IoGetRequestorProcess(PIRP Irp);
// MmProbeAndLockPages under an exception handler: the status it raised, or STATUS_SUCCESS
// (windows/guarded_probe_x86.S and windows/guarded_probe_x64.S; g++ has no __try).
NTSTATUS NTAPI kvusb_guarded_probe_and_lock(PMDL Mdl, KPROCESSOR_MODE AccessMode, LOCK_OPERATION Operation);
}
// Wide literals: WCHAR is the compiler's 16-bit wchar_t here.
#  define KVUSB_WIDE(text) L##text
#else
#  include "kernel_emulation/wdm.h"
#  define KVUSB_WIDE(text) u##text
// The emulation's exception handler stands in for the assembly of the Windows builds.
inline NTSTATUS kvusb_guarded_probe_and_lock(PMDL mdl, KPROCESSOR_MODE access_mode, LOCK_OPERATION operation) {
  struct Probe {
    PMDL mdl;
    KPROCESSOR_MODE access_mode;
    LOCK_OPERATION operation;
  } probe{mdl, access_mode, operation};
  return EmuCallWithHandler(
      [](PVOID context) {
        auto* p = static_cast<Probe*>(context);
        MmProbeAndLockPages(p->mdl, p->access_mode, p->operation);
      },
      &probe);
}
#endif
