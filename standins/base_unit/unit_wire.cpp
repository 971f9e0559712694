// The base unit's command format on its bulk pipes.
#include "standins/base_unit/unit_wire.h"

namespace zetra::standins {

CommandPacket encode_request(const UnitRequest& request) {
  CommandPacket packet{static_cast<uint8_t>(request.command), request.address, request.count,
                       request.config};
  put_le32(request.value, &packet[4]);
  return packet;
}

std::optional<UnitRequest> decode_request(const uint8_t* data, size_t length) {
  if (length != kCommandBytes) return std::nullopt;
  if (data[0] < static_cast<uint8_t>(UnitCommand::kStatus) ||
      data[0] > static_cast<uint8_t>(UnitCommand::kReadWord))
    return std::nullopt;
  return UnitRequest{static_cast<UnitCommand>(data[0]), data[1], data[2], data[3],
                     get_le32(data + 4)};
}

size_t answer_bytes(const UnitRequest& request) {
  switch (request.command) {
    case UnitCommand::kStatus:
      return 1;
    case UnitCommand::kReadWord:
      return 4;
    case UnitCommand::kReadBlock:
      return 4u * request.count;
    case UnitCommand::kConfigure:
    case UnitCommand::kWriteWord:
      return 0;
  }
  return 0;
}

void put_le32(int32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

int32_t get_le32(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{bytes[i]} << (8 * i);
  return static_cast<int32_t>(value);
}

}  // namespace zetra::standins
