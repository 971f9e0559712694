// The base unit's command format on its two bulk pipes, shared by the unit's side (the endpoints
// behind the emulated bus) and the device library's side (the stand-in kvwin32 over the driver).
//
// Out pipe 0x02 takes 8-byte commands; in pipe 0x82 gives back their answers, in order:
//   byte 0      command (UnitCommand)
//   byte 1      control-word or block address
//   byte 2      block word count
//   byte 3      configuration byte
//   bytes 4..7  control-word value, 32 bits little-endian
// Answers: status 1 byte; read word 4 bytes; read block `count` words of 4 bytes; all
// little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zetra::standins {

enum class UnitCommand : uint8_t {
  kStatus = 1,     // answer: the status byte
  kConfigure = 2,  // byte 3 = configuration byte; no answer
  kWriteWord = 3,  // byte 1 = address, bytes 4..7 = value; no answer
  kReadBlock = 4,  // byte 1 = first block word, byte 2 = count; answer: count words
  kReadWord = 5,   // byte 1 = address; answer: the control word
};

inline constexpr size_t kCommandBytes = 8;
inline constexpr size_t kPacketBytes = 64;  // both bulk pipes move at most this much per packet

struct UnitRequest {
  UnitCommand command = UnitCommand::kStatus;
  uint8_t address = 0;
  uint8_t count = 0;
  uint8_t config = 0;
  int32_t value = 0;

  friend bool operator==(const UnitRequest&, const UnitRequest&) = default;
};

using CommandPacket = std::array<uint8_t, kCommandBytes>;

CommandPacket encode_request(const UnitRequest& request);
// Empty for a packet that is not exactly 8 bytes or names no known command.
std::optional<UnitRequest> decode_request(const uint8_t* data, size_t length);
// Bytes the unit sends back for the request.
size_t answer_bytes(const UnitRequest& request);

void put_le32(int32_t value, uint8_t* bytes);
int32_t get_le32(const uint8_t* bytes);

}  // namespace zetra::standins
