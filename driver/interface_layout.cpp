// The interface information as a caller of 0x22200C reads it: the interface header, then one record
// per pipe, with the handle fields as wide as the caller's pointers (32 bits for a 32-bit program,
// also on 64-bit Windows; 64 bits for a 64-bit one). The handles are opaque numbers, not the kernel
// addresses the driver works with: the interface is 1 and pipe i is i + 1 (callers address pipes by
// index).
#include "kvusb.h"

namespace kvusb {

namespace {

struct Layout {
  ULONG handle;  // width of a handle field
  ULONG header;  // bytes before the first pipe record
  ULONG pipe;    // bytes per pipe record
};

// The same rules as the compiler's: each field aligned to its size, records to their widest field.
Layout layout(bool narrow) {
  const ULONG handle = narrow ? 4 : 8;
  auto aligned = [handle](ULONG n) { return (n + handle - 1) / handle * handle; };
  return Layout{handle, aligned(8 + handle + 4), aligned(8 + handle + 8)};
}

void put(PUCHAR out, ULONG offset, ULONG64 value, ULONG bytes) {
  for (ULONG i = 0; i < bytes; ++i) out[offset + i] = static_cast<UCHAR>(value >> (8 * i));  // little-endian
}

}  // namespace

ULONG interface_layout_length(ULONG pipes, bool narrow) {
  Layout l = layout(narrow);
  return l.header + pipes * l.pipe;
}

void write_interface_layout(PUCHAR out, const USBD_INTERFACE_INFORMATION* information, bool narrow) {
  const Layout l = layout(narrow);
  const ULONG pipes = information->NumberOfPipes;
  RtlZeroMemory(out, interface_layout_length(pipes, narrow));
  put(out, 0, interface_layout_length(pipes, narrow), 2);
  put(out, 2, information->InterfaceNumber, 1);
  put(out, 3, information->AlternateSetting, 1);
  put(out, 4, information->Class, 1);
  put(out, 5, information->SubClass, 1);
  put(out, 6, information->Protocol, 1);
  put(out, 7, information->Reserved, 1);
  put(out, 8, 1, l.handle);
  put(out, 8 + l.handle, pipes, 4);
  for (ULONG i = 0; i < pipes; ++i) {
    const USBD_PIPE_INFORMATION& pipe = information->Pipes[i];
    PUCHAR record = out + l.header + i * l.pipe;
    put(record, 0, pipe.MaximumPacketSize, 2);
    put(record, 2, pipe.EndpointAddress, 1);
    put(record, 3, pipe.Interval, 1);
    put(record, 4, static_cast<ULONG>(pipe.PipeType), 4);
    put(record, 8, i + 1, l.handle);
    put(record, 8 + l.handle, pipe.MaximumTransferSize, 4);
    put(record, 12 + l.handle, pipe.PipeFlags, 4);
  }
}

}  // namespace kvusb
