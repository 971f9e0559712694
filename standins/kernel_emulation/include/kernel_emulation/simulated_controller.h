// The base unit's USB controller as the bus sees it: bare after power-up (loader answering vendor
// request 0xA0 into program memory and the CPU control register), then running the downloaded
// firmware, whose descriptors it shows after re-enumeration and whose bulk pipes it serves.
#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "kernel_emulation/usb_bus.h"

namespace emu {

// Backs the running unit's bulk endpoints 0x02 (out) and 0x82 (in) with a protocol.
class BulkEndpoints {
 public:
  virtual ~BulkEndpoints() = default;
  virtual USBD_STATUS out(const uint8_t* data, size_t length) = 0;
  virtual USBD_STATUS in(uint8_t* data, size_t capacity, size_t* transferred) = 0;
};

// Echoes what was written, in order; an in transfer returns what is queued, and NAKs while nothing is.
class LoopbackEndpoints : public BulkEndpoints {
 public:
  USBD_STATUS out(const uint8_t* data, size_t length) override;
  USBD_STATUS in(uint8_t* data, size_t capacity, size_t* transferred) override;
  size_t queued() const;

 private:
  mutable std::mutex mutex_;  // guards queue_
  std::deque<uint8_t> queue_;
};

class SimulatedController : public UsbFunction {
 public:
  static constexpr USHORT kCpuControl = 0x7F92;  // CPU control and status register; bit 0 holds the CPU in reset
  static constexpr size_t kMemorySize = 0x2000;  // internal program and data memory
  static constexpr USHORT kDescriptorPointer = 0x0003;  // where the firmware keeps its descriptor table's address
  static constexpr USHORT kVendorId = 0x3A7E;
  static constexpr USHORT kBareProductId = 0x0410;
  static constexpr UCHAR kLoadRequest = 0xA0;

  explicit SimulatedController(std::shared_ptr<BulkEndpoints> endpoints);

  bool descriptor(UCHAR type, UCHAR index, std::vector<uint8_t>* bytes) override;
  USBD_STATUS vendor_out(UCHAR request, USHORT value, USHORT index, const uint8_t* data, size_t length) override;
  USBD_STATUS bulk_out(UCHAR endpoint, const uint8_t* data, size_t length) override;
  USBD_STATUS bulk_in(UCHAR endpoint, uint8_t* data, size_t capacity, size_t* transferred) override;
  bool take_reenumeration() override;
  // Power gone: the RAM that held the firmware is blank again and the loader answers.
  void power_lost() override;

  bool running_firmware() const;
  bool cpu_in_reset() const;
  std::vector<uint8_t> memory() const;
  size_t bytes_written() const;     // memory bytes written since power-up
  size_t bytes_rewritten() const;   // of those, bytes written more than once

 private:
  bool parse_firmware_descriptors();

  mutable std::mutex mutex_;  // guards everything below
  std::shared_ptr<BulkEndpoints> endpoints_;
  std::vector<uint8_t> memory_;
  std::vector<uint8_t> write_count_;
  bool cpu_reset_ = false;
  bool running_ = false;  // firmware started from memory (otherwise the loader answers as a bare controller)
  bool reenumerate_ = false;
  std::vector<uint8_t> device_;
  std::vector<uint8_t> configuration_;
  std::vector<std::vector<uint8_t>> strings_;
};

}  // namespace emu
