// The pending-request counter that lets removal wait for every request in progress.
#include "kvusb.h"

namespace kvusb {

NTSTATUS acquire_pending(DeviceExtension* extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  extension->pending_count++;
  if (extension->removing) {
    // The remove request may be waiting for exactly this count to drop.
    if (--extension->pending_count == 0) KeSetEvent(&extension->remove_event, IO_NO_INCREMENT, FALSE);
    KeReleaseSpinLock(&extension->lock, irql);
    return STATUS_DELETE_PENDING;
  }
  KeReleaseSpinLock(&extension->lock, irql);
  return STATUS_SUCCESS;
}

void release_pending(DeviceExtension* extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  if (--extension->pending_count == 0) KeSetEvent(&extension->remove_event, IO_NO_INCREMENT, FALSE);
  KeReleaseSpinLock(&extension->lock, irql);
}

}  // namespace kvusb
