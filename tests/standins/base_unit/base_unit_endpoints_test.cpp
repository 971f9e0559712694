// Tests of the simulated base unit behind the bulk pipes: commands answered in order, answers
// handed out in whatever pieces the reader asks for, and packets that are no command refused.
#include "standins/base_unit/base_unit_endpoints.h"

#include <gtest/gtest.h>

#include <vector>

#include "standins/base_unit/unit_wire.h"
#include "standins/meter/scripted_meter.h"
#include "tests/standins/block_reader.h"

namespace zetra::standins {
namespace {

class Endpoints : public ::testing::Test {
 protected:
  USBD_STATUS send(const UnitRequest& request) {
    const CommandPacket packet = encode_request(request);
    return endpoints_.out(packet.data(), packet.size());
  }
  std::vector<uint8_t> read(size_t capacity) {
    std::vector<uint8_t> data(capacity, 0xEE);
    size_t transferred = 99;
    EXPECT_EQ(endpoints_.in(data.data(), capacity, &transferred), USBD_STATUS_SUCCESS);
    data.resize(transferred);
    return data;
  }

  ScriptedMeter meter_;
  SimulatedBaseUnit unit_{meter_};
  BaseUnitEndpoints endpoints_{unit_};
};

TEST_F(Endpoints, CommandsReachTheUnitAndAnswersQueueInOrder) {
  const SampleWords set = make_words(valid_word(0x1ABCDEF), invalid_word(2), valid_word(3),
                                     valid_word(kMaxData), true, false);
  meter_.push(set);
  ASSERT_EQ(send({.command = UnitCommand::kConfigure, .config = 0x42}), USBD_STATUS_SUCCESS);
  ASSERT_EQ(send({.command = UnitCommand::kWriteWord, .address = 9, .value = -123456}),
            USBD_STATUS_SUCCESS);
  EXPECT_EQ(unit_.configuration(), 0x42);
  EXPECT_EQ(unit_.read_word(9), -123456);
  EXPECT_EQ(endpoints_.answer_waiting(), 0u) << "configure and write word have no answer";

  ASSERT_EQ(send({.command = UnitCommand::kStatus}), USBD_STATUS_SUCCESS);
  ASSERT_EQ(send({.command = UnitCommand::kReadWord, .address = 9}), USBD_STATUS_SUCCESS);
  ASSERT_EQ(send({.command = UnitCommand::kReadBlock, .address = 0, .count = 32}),
            USBD_STATUS_SUCCESS);
  EXPECT_EQ(endpoints_.answer_waiting(), 1u + 4u + 128u);

  // Read back in odd pieces: the bytes join up regardless of how the reader splits them.
  std::vector<uint8_t> all;
  for (size_t piece : {1, 3, 64, 64, 64}) {
    const std::vector<uint8_t> part = read(piece);
    all.insert(all.end(), part.begin(), part.end());
  }
  ASSERT_EQ(all.size(), 133u);
  EXPECT_EQ(all[0], 0) << "status: a set is ready";
  EXPECT_EQ(get_le32(&all[1]), -123456);
  int32_t block[32];
  for (int i = 0; i < 32; ++i) block[i] = get_le32(&all[5 + 4 * i]);
  EXPECT_EQ(block[0], 1) << "the first set";
  EXPECT_EQ(testing::read_block_words(block), set);
  EXPECT_EQ(unit_.blocks_read(), 1);
  EXPECT_TRUE(read(64).empty()) << "nothing left";
}

TEST_F(Endpoints, PacketsThatAreNoCommandStallAndChangeNothing) {
  CommandPacket packet = encode_request({.command = UnitCommand::kConfigure, .config = 7});
  EXPECT_EQ(endpoints_.out(packet.data(), 7), USBD_STATUS_STALL_PID);
  uint8_t longer[16] = {2, 0, 0, 7};
  EXPECT_EQ(endpoints_.out(longer, 16), USBD_STATUS_STALL_PID);
  packet[0] = 0;
  EXPECT_EQ(endpoints_.out(packet.data(), packet.size()), USBD_STATUS_STALL_PID);
  packet[0] = 6;
  EXPECT_EQ(endpoints_.out(packet.data(), packet.size()), USBD_STATUS_STALL_PID);
  EXPECT_EQ(unit_.configuration(), 0);
  EXPECT_EQ(endpoints_.answer_waiting(), 0u);
  EXPECT_EQ(unit_.sets_fetched(), 0u);
}

TEST_F(Endpoints, BlockReadsPastTheBlockAnswerZeros) {
  meter_.push(make_words(valid_word(kMaxData), valid_word(kMaxData), valid_word(kMaxData),
                         valid_word(kMaxData), true, true));
  ASSERT_EQ(send({.command = UnitCommand::kReadBlock, .address = 30, .count = 255}),
            USBD_STATUS_SUCCESS);
  std::vector<uint8_t> all;
  for (std::vector<uint8_t> part = read(64); !part.empty(); part = read(64))
    all.insert(all.end(), part.begin(), part.end());
  ASSERT_EQ(all.size(), 1020u);
  EXPECT_EQ(get_le32(&all[0]), 0x3F) << "word 30: four data lines and both range lines";
  EXPECT_EQ(get_le32(&all[4]), 0x1B) << "word 31: the four data lines";
  for (size_t i = 8; i < all.size(); ++i) ASSERT_EQ(all[i], 0) << i;
}

}  // namespace
}  // namespace zetra::standins
