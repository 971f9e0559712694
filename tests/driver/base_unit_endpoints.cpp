// The simulated base unit on the emulated USB bus, and the library side of the same wire format.
#include "base_unit_endpoints.h"

#include <algorithm>
#include <vector>

#include "kvusb.h"

namespace kvusb_test {

namespace {

int32_t get32(const uint8_t* p) { return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24); }

void put32(std::deque<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

}  // namespace

USBD_STATUS BaseUnitEndpoints::out(const uint8_t* data, size_t length) {
  std::lock_guard lock(mutex_);
  if (length != 8) return USBD_STATUS_STALL_PID;
  switch (static_cast<UnitCommand>(data[0])) {
    case UnitCommand::kStatus:
      answer_.push_back(unit_.status());
      return USBD_STATUS_SUCCESS;
    case UnitCommand::kConfigure:
      unit_.configure(data[3]);
      return USBD_STATUS_SUCCESS;
    case UnitCommand::kWriteWord:
      unit_.write_word(data[1], get32(data + 4));
      return USBD_STATUS_SUCCESS;
    case UnitCommand::kReadBlock: {
      std::vector<int32_t> words(data[2]);
      unit_.read_block(data[1], data[2], words.data());
      for (int32_t w : words) put32(answer_, w);
      return USBD_STATUS_SUCCESS;
    }
  }
  return USBD_STATUS_STALL_PID;
}

USBD_STATUS BaseUnitEndpoints::in(uint8_t* data, size_t capacity, size_t* transferred) {
  std::lock_guard lock(mutex_);
  size_t n = std::min(capacity, answer_.size());
  std::copy_n(answer_.begin(), n, data);
  answer_.erase(answer_.begin(), answer_.begin() + static_cast<long>(n));
  *transferred = n;
  return USBD_STATUS_SUCCESS;
}

bool DriverTransport::open(int unit) {
  std::u16string name = u"\\\\.\\KVUSB-";
  name += static_cast<char16_t>(u'0' + unit);
  return emu::open_device(name, &handle_) == STATUS_SUCCESS;
}

void DriverTransport::close() {
  if (handle_ != nullptr) emu::close_device(handle_);
  handle_ = nullptr;
}

bool DriverTransport::command(UnitCommand command, uint8_t address, uint8_t count, uint8_t config, int32_t value) {
  uint8_t packet[8] = {static_cast<uint8_t>(command), address, count, config};
  for (int i = 0; i < 4; ++i) packet[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
  uint8_t pipe = 1;  // bulk out 0x02
  ULONG returned = 0;
  return emu::device_io_control(handle_, kvusb::kIoctlTransferOutDirect, &pipe, 1, packet, 8, &returned) ==
             STATUS_SUCCESS &&
         returned == 8;
}

bool DriverTransport::answer(uint8_t* data, ULONG length) {
  uint8_t pipe = 0;  // bulk in 0x82, through the in-direct code the driver must lock for writing itself
  ULONG got = 0;
  while (got < length) {
    ULONG returned = 0;
    if (emu::device_io_control(handle_, kvusb::kIoctlTransferInDirect, &pipe, 1, data + got,
                               std::min<ULONG>(length - got, 64), &returned) != STATUS_SUCCESS)
      return false;
    got += returned;
  }
  return true;
}

bool DriverTransport::status(uint8_t* status) {
  return command(UnitCommand::kStatus, 0, 0, 0, 0) && answer(status, 1);
}

bool DriverTransport::configure(uint8_t config) { return command(UnitCommand::kConfigure, 0, 0, config, 0); }

bool DriverTransport::write_word(uint8_t address, int32_t value) {
  return command(UnitCommand::kWriteWord, address, 0, 0, value);
}

bool DriverTransport::read_block(uint8_t address, uint8_t count, int32_t* words) {
  std::vector<uint8_t> bytes(4u * count);
  if (!command(UnitCommand::kReadBlock, address, count, 0, 0) || !answer(bytes.data(), 4u * count)) return false;
  for (int i = 0; i < count; ++i) words[i] = get32(&bytes[4u * i]);
  return true;
}

}  // namespace kvusb_test
