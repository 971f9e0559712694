// The pending-request counter that lets removal wait for every request in progress, and the flags
// that hold control requests across a stop and refuse them once the unit is gone.
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

// Control requests run only while the unit is neither held for a stop nor gone.
NTSTATUS begin_control_request(DeviceExtension* extension) {
  KIRQL irql;
  NTSTATUS status = STATUS_SUCCESS;
  KeAcquireSpinLock(&extension->lock, &irql);
  if (extension->gone)
    status = STATUS_DELETE_PENDING;
  else if (extension->held)
    status = STATUS_DEVICE_NOT_READY;
  else
    extension->active_requests++;
  KeReleaseSpinLock(&extension->lock, irql);
  return status;
}

void end_control_request(DeviceExtension* extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  extension->active_requests--;
  KeReleaseSpinLock(&extension->lock, irql);
}

// Grants a stop only when no control request is inside: a read may wait for data indefinitely, and
// a stop frees what requests read. Refusing is the caller's cue to cancel the stop.
NTSTATUS hold_control_requests(DeviceExtension* extension) {
  KIRQL irql;
  NTSTATUS status = STATUS_SUCCESS;
  KeAcquireSpinLock(&extension->lock, &irql);
  if (extension->active_requests > 0)
    status = STATUS_DEVICE_BUSY;
  else
    extension->held = 1;
  KeReleaseSpinLock(&extension->lock, irql);
  return status;
}

void resume_control_requests(DeviceExtension* extension) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  extension->held = 0;
  KeReleaseSpinLock(&extension->lock, irql);
}

void stop_transfers(DeviceExtension* extension, bool gone) {
  KIRQL irql;
  KeAcquireSpinLock(&extension->lock, &irql);
  extension->aborting = 1;
  if (gone) extension->gone = 1;
  KeReleaseSpinLock(&extension->lock, irql);
}

}  // namespace kvusb
