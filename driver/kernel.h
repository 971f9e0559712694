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
}
// Wide literals: WCHAR is the compiler's 16-bit wchar_t here.
#  define KVUSB_WIDE(text) L##text
#else
#  include "kernel_emulation/wdm.h"
#  define KVUSB_WIDE(text) u##text
#endif
