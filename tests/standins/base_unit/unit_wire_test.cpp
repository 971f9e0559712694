// Tests of the base unit's command format on its bulk pipes.
#include "standins/base_unit/unit_wire.h"

#include <gtest/gtest.h>

namespace zetra::standins {
namespace {

TEST(UnitWire, CommandsHaveTheirByteLayout) {
  const UnitRequest write{.command = UnitCommand::kWriteWord, .address = 7, .value = 0x12345678};
  EXPECT_EQ(encode_request(write), (CommandPacket{3, 7, 0, 0, 0x78, 0x56, 0x34, 0x12}));
  const UnitRequest block{.command = UnitCommand::kReadBlock, .address = 30, .count = 255};
  EXPECT_EQ(encode_request(block), (CommandPacket{4, 30, 255, 0, 0, 0, 0, 0}));
  const UnitRequest config{.command = UnitCommand::kConfigure, .config = 0xA5};
  EXPECT_EQ(encode_request(config), (CommandPacket{2, 0, 0, 0xA5, 0, 0, 0, 0}));
  EXPECT_EQ(encode_request({.command = UnitCommand::kReadWord, .address = 255, .value = -1}),
            (CommandPacket{5, 255, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(UnitWire, EveryRequestSurvivesTheRoundTrip) {
  for (uint8_t command = 1; command <= 5; ++command) {
    for (int32_t value : {0, 1, -1, INT32_MIN, INT32_MAX, 0x00FF00FF}) {
      const UnitRequest request{static_cast<UnitCommand>(command), static_cast<uint8_t>(command * 40),
                                static_cast<uint8_t>(255 - command), static_cast<uint8_t>(value),
                                value};
      const CommandPacket packet = encode_request(request);
      const auto back = decode_request(packet.data(), packet.size());
      ASSERT_TRUE(back.has_value());
      EXPECT_EQ(*back, request) << int{command} << " " << value;
    }
  }
}

TEST(UnitWire, AnythingButACommandIsRefused) {
  CommandPacket packet = encode_request({.command = UnitCommand::kStatus});
  EXPECT_FALSE(decode_request(packet.data(), 7).has_value());
  uint8_t longer[9] = {1};
  EXPECT_FALSE(decode_request(longer, 9).has_value());
  for (uint8_t command : {0, 6, 0x81, 0xFF}) {
    packet[0] = command;
    EXPECT_FALSE(decode_request(packet.data(), packet.size()).has_value()) << int{command};
  }
}

TEST(UnitWire, AnswerLengths) {
  EXPECT_EQ(answer_bytes({.command = UnitCommand::kStatus}), 1u);
  EXPECT_EQ(answer_bytes({.command = UnitCommand::kConfigure, .count = 9}), 0u);
  EXPECT_EQ(answer_bytes({.command = UnitCommand::kWriteWord, .count = 9}), 0u);
  EXPECT_EQ(answer_bytes({.command = UnitCommand::kReadWord, .count = 9}), 4u);
  EXPECT_EQ(answer_bytes({.command = UnitCommand::kReadBlock, .count = 0}), 0u);
  EXPECT_EQ(answer_bytes({.command = UnitCommand::kReadBlock, .count = 255}), 1020u);

  uint8_t bytes[4];
  put_le32(static_cast<int32_t>(0x80000001u), bytes);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[3], 0x80);
  EXPECT_EQ(get_le32(bytes), static_cast<int32_t>(0x80000001u));
}

}  // namespace
}  // namespace zetra::standins
