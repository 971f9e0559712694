// The base unit's controller: loader behaviour while bare, firmware descriptors and bulk pipes once
// the downloaded program runs.
#include "kernel_emulation/simulated_controller.h"

#include <algorithm>

namespace emu {

USBD_STATUS LoopbackEndpoints::out(const uint8_t* data, size_t length) {
  std::lock_guard lock(mutex_);
  queue_.insert(queue_.end(), data, data + length);
  return USBD_STATUS_SUCCESS;
}

USBD_STATUS LoopbackEndpoints::in(uint8_t* data, size_t capacity, size_t* transferred) {
  std::lock_guard lock(mutex_);
  if (queue_.empty() && capacity > 0) {
    *transferred = 0;
    return kNak;  // nothing to send: the endpoint NAKs, as a real one does
  }
  size_t n = std::min(capacity, queue_.size());
  std::copy_n(queue_.begin(), n, data);
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(n));
  *transferred = n;
  return USBD_STATUS_SUCCESS;
}

size_t LoopbackEndpoints::queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

namespace {

// The loader's own identity: vendor class, no strings, one interface with two bulk endpoints that
// only the firmware would serve.
const uint8_t kBareDevice[18] = {18, 1, 0x10, 0x01, 0xFF, 0xFF, 0xFF, 64,
                                 SimulatedController::kVendorId & 0xFF, SimulatedController::kVendorId >> 8,
                                 SimulatedController::kBareProductId & 0xFF, SimulatedController::kBareProductId >> 8,
                                 0x01, 0x00, 0, 0, 0, 1};
const uint8_t kBareConfiguration[32] = {9, 2, 32, 0, 1, 1, 0, 0x80, 50,           // configuration
                                        9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0,       // interface 0
                                        7, 5, 0x81, 2, 64, 0, 0,                  // bulk in 1
                                        7, 5, 0x01, 2, 64, 0, 0};                 // bulk out 1

}  // namespace

SimulatedController::SimulatedController(std::shared_ptr<BulkEndpoints> endpoints)
    : endpoints_(std::move(endpoints)), memory_(kMemorySize, 0), write_count_(kMemorySize, 0) {}

bool SimulatedController::descriptor(UCHAR type, UCHAR index, std::vector<uint8_t>* bytes) {
  std::lock_guard lock(mutex_);
  if (!running_) {
    if (type == USB_DEVICE_DESCRIPTOR_TYPE) bytes->assign(kBareDevice, kBareDevice + 18);
    else if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index == 0) bytes->assign(kBareConfiguration, kBareConfiguration + 32);
    else return false;
    return true;
  }
  if (type == USB_DEVICE_DESCRIPTOR_TYPE && !device_.empty()) *bytes = device_;
  else if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index == 0 && !configuration_.empty()) *bytes = configuration_;
  else if (type == USB_STRING_DESCRIPTOR_TYPE && index < strings_.size()) *bytes = strings_[index];
  else return false;
  return true;
}

USBD_STATUS SimulatedController::vendor_out(UCHAR request, USHORT value, USHORT index, const uint8_t* data,
                                            size_t length) {
  std::lock_guard lock(mutex_);
  if (request != kLoadRequest || index != 0) return USBD_STATUS_STALL_PID;
  if (value == kCpuControl) {
    if (length != 1) return USBD_STATUS_STALL_PID;
    bool reset = (data[0] & 1) != 0;
    if (cpu_reset_ && !reset) {
      // The program starts: the unit leaves the bus and comes back as whatever the image describes.
      running_ = parse_firmware_descriptors();
      reenumerate_ = true;
    }
    cpu_reset_ = reset;
    return USBD_STATUS_SUCCESS;
  }
  // Program memory is only written while the CPU is held, as the loader requires.
  if (!cpu_reset_ || length == 0 || value + length > kMemorySize) return USBD_STATUS_STALL_PID;
  for (size_t i = 0; i < length; ++i) {
    memory_[value + i] = data[i];
    if (write_count_[value + i] < 255) write_count_[value + i]++;
  }
  return USBD_STATUS_SUCCESS;
}

// Descriptor table of the firmware: device descriptor, the whole configuration, then string
// descriptors 0, 1, 2... until a zero length byte.
bool SimulatedController::parse_firmware_descriptors() {
  device_.clear();
  configuration_.clear();
  strings_.clear();
  size_t at = memory_[kDescriptorPointer] | (memory_[kDescriptorPointer + 1] << 8);
  auto fits = [&](size_t n) { return at + n <= memory_.size(); };
  if (!fits(18) || memory_[at] != 18 || memory_[at + 1] != USB_DEVICE_DESCRIPTOR_TYPE) return false;
  device_.assign(memory_.begin() + at, memory_.begin() + at + 18);
  at += 18;
  if (!fits(9) || memory_[at] != 9 || memory_[at + 1] != USB_CONFIGURATION_DESCRIPTOR_TYPE) return false;
  size_t total = memory_[at + 2] | (memory_[at + 3] << 8);
  if (!fits(total)) return false;
  configuration_.assign(memory_.begin() + at, memory_.begin() + at + total);
  at += total;
  while (fits(2) && memory_[at] >= 2 && memory_[at + 1] == USB_STRING_DESCRIPTOR_TYPE && fits(memory_[at])) {
    strings_.emplace_back(memory_.begin() + at, memory_.begin() + at + memory_[at]);
    at += memory_[at];
  }
  return true;
}

USBD_STATUS SimulatedController::bulk_out(UCHAR endpoint, const uint8_t* data, size_t length) {
  std::shared_ptr<BulkEndpoints> endpoints;
  {
    std::lock_guard lock(mutex_);
    if (!running_ || cpu_reset_ || endpoint != 0x02) return USBD_STATUS_STALL_PID;
    endpoints = endpoints_;
  }
  return endpoints->out(data, length);
}

USBD_STATUS SimulatedController::bulk_in(UCHAR endpoint, uint8_t* data, size_t capacity, size_t* transferred) {
  *transferred = 0;
  std::shared_ptr<BulkEndpoints> endpoints;
  {
    std::lock_guard lock(mutex_);
    if (!running_ || cpu_reset_ || endpoint != 0x82) return USBD_STATUS_STALL_PID;
    endpoints = endpoints_;
  }
  return endpoints->in(data, capacity, transferred);
}

bool SimulatedController::take_reenumeration() {
  std::lock_guard lock(mutex_);
  bool was = reenumerate_;
  reenumerate_ = false;
  return was;
}

void SimulatedController::power_lost() {
  std::lock_guard lock(mutex_);
  std::fill(memory_.begin(), memory_.end(), 0);
  std::fill(write_count_.begin(), write_count_.end(), 0);
  cpu_reset_ = false;
  running_ = false;
  reenumerate_ = false;
  device_.clear();
  configuration_.clear();
  strings_.clear();
}

bool SimulatedController::running_firmware() const {
  std::lock_guard lock(mutex_);
  return running_;
}

bool SimulatedController::cpu_in_reset() const {
  std::lock_guard lock(mutex_);
  return cpu_reset_;
}

std::vector<uint8_t> SimulatedController::memory() const {
  std::lock_guard lock(mutex_);
  return memory_;
}

size_t SimulatedController::bytes_written() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(write_count_.begin(), write_count_.end(), [](uint8_t c) { return c > 0; }));
}

size_t SimulatedController::bytes_rewritten() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count_if(write_count_.begin(), write_count_.end(), [](uint8_t c) { return c > 1; }));
}

}  // namespace emu
