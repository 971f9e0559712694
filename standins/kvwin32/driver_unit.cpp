// A base unit reached through the kvusb driver's control interface.
#include "standins/kvwin32/driver_unit.h"

#include <algorithm>
#include <vector>

namespace zetra::standins {

namespace {

// An answer is at most 255 words, 16 packets; draining stops after this many in any case.
constexpr int kMostPacketsToDrain = 32;

}  // namespace

bool DriverUnit::open() {
  if (handle_ != nullptr) return true;
  std::u16string name = u"\\\\.\\KVUSB-";
  name += static_cast<char16_t>(u'0' + device_);
  handle_ = io_.open(name);
  return handle_ != nullptr;
}

void DriverUnit::close() {
  if (handle_ != nullptr) io_.close(handle_);
  handle_ = nullptr;
}

bool DriverUnit::status(uint8_t& status) {
  uint8_t answer = 0;
  if (!exchange({.command = UnitCommand::kStatus}, &answer)) return false;
  status = answer;
  return true;
}

bool DriverUnit::configure(uint8_t config) {
  return exchange({.command = UnitCommand::kConfigure, .config = config}, nullptr);
}

bool DriverUnit::write_word(uint8_t address, int32_t value) {
  return exchange({.command = UnitCommand::kWriteWord, .address = address, .value = value},
                  nullptr);
}

bool DriverUnit::read_word(uint8_t address, int32_t& value) {
  uint8_t answer[4];
  if (!exchange({.command = UnitCommand::kReadWord, .address = address}, answer)) return false;
  value = get_le32(answer);
  return true;
}

bool DriverUnit::read_block(uint8_t address, uint8_t count, int32_t* words) {
  std::vector<uint8_t> answer(4u * count);
  const UnitRequest request{.command = UnitCommand::kReadBlock, .address = address, .count = count};
  if (!exchange(request, answer.data())) return false;
  for (int i = 0; i < count; ++i) words[i] = get_le32(&answer[4u * i]);
  return true;
}

bool DriverUnit::exchange(const UnitRequest& request, uint8_t* answer) {
  if (handle_ == nullptr) return false;
  if (send(request) && receive(answer, answer_bytes(request))) return true;
  drain();
  return false;
}

bool DriverUnit::send(const UnitRequest& request) {
  CommandPacket packet = encode_request(request);
  uint32_t returned = 0;
  return io_.control(handle_, kTransferFromCaller, &kPipeOut, 1, packet.data(), kCommandBytes,
                     returned) &&
         returned == kCommandBytes;
}

// The answer may come in several packets; a read that fails or brings nothing ends the exchange.
bool DriverUnit::receive(uint8_t* data, size_t length) {
  size_t got = 0;
  while (got < length) {
    const uint32_t want = static_cast<uint32_t>(std::min(length - got, kPacketBytes));
    uint32_t returned = 0;
    if (!io_.control(handle_, kTransferIntoCaller, &kPipeIn, 1, data + got, want, returned) ||
        returned == 0 || returned > want)
      return false;
    got += returned;
  }
  return true;
}

void DriverUnit::drain() {
  uint8_t packet[kPacketBytes];
  for (int i = 0; i < kMostPacketsToDrain; ++i) {
    uint32_t returned = 0;
    if (!io_.control(handle_, kTransferIntoCaller, &kPipeIn, 1, packet, kPacketBytes, returned) ||
        returned == 0)
      return;
  }
}

}  // namespace zetra::standins
