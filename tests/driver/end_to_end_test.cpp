// Sample sets read by the stand-in kvwin32's own functions through kvusb, the emulated USB stack
// and the simulated controller running its firmware, from meters that encoded known words.
#include <array>
#include <deque>

#include "driver_fixture.h"
#include "standins/base_unit/base_unit_endpoints.h"
#include "standins/kvwin32/kvwin32.h"
#include "standins/meter/scripted_meter.h"
#include "tests/standins/block_reader.h"

namespace kvusb_test {
namespace {

using namespace zetra::standins;

class LibraryThroughDriver : public DriverTest {
 protected:
  void TearDown() override {
    // The library's units outlive the test; each closes its handle before the driver goes.
    for (uint8_t device = 1; device <= 4; ++device) KV_CloseDevice(device);
    DriverTest::TearDown();
  }

  // Plugs a bare base unit whose simulated unit answers from `meter`; the driver loads the
  // firmware, and the unit comes back as the next KVUSB-n.
  SimulatedBaseUnit& plug_base_unit(SampleSource& meter) {
    SimulatedBaseUnit& unit = units_.emplace_back(meter);
    auto endpoints = std::make_shared<BaseUnitEndpoints>(unit);
    controller_ = std::make_shared<emu::SimulatedController>(endpoints);
    ports_.push_back(bus_->plug(controller_));
    EXPECT_TRUE(controller_->running_firmware());
    return unit;
  }

  std::deque<SimulatedBaseUnit> units_;  // outlive the bus's controllers, which TearDown unplugs
  std::vector<int> ports_;
};

uint8_t status_of(uint8_t device) {
  uint8_t status = 0xEE;
  EXPECT_NE(KV_USRRead(device, &status), 0);
  return status;
}

// The recorder's connect sequence, then its poll-and-read tick over several sets, one of them
// behind a busy poll; the words come back exactly as the meter encoded them.
TEST_F(LibraryThroughDriver, RecorderCallsReadTheMeterWordsThroughTheDriver) {
  ScriptedMeter meter;
  const SampleWords sets[] = {
      make_words(valid_word(0x1234567), valid_word(0x0ABCDEF), valid_word(0x1FFFFFFF),
                 invalid_word(0x1555), true),
      make_words(valid_word(1), valid_word(0), invalid_word(0x1FFFFFFF), valid_word(0x0F0F0F0),
                 false, true),
      make_words(invalid_word(0), valid_word(0x1000000), valid_word(0x0800001),
                 valid_word(0x1FFFFFFE), true, true),
  };
  meter.push(sets[0]);
  meter.push(sets[1]);
  meter.push_busy();
  meter.push(sets[2]);
  SimulatedBaseUnit& unit = plug_base_unit(meter);
  bus_->complete_on_worker(true);  // every transfer takes the driver's pending path

  ASSERT_NE(KV_OpenDevice(1), 0);
  uint8_t config = 0x5A;
  ASSERT_NE(KV_USRConfig(1, &config), 0);
  EXPECT_EQ(unit.configuration(), 0x5A);
  int32_t control = 3;
  ASSERT_NE(KV_WriteWord(1, 0, &control), 0);
  EXPECT_EQ(status_of(1), kStatusNotReady | kStatusInReset);
  control = 0;
  ASSERT_NE(KV_WriteWord(1, 0, &control), 0);
  EXPECT_EQ(unit.read_word(0), 0);

  int busy_polls = 0;
  uint32_t sequence = 0;
  for (const SampleWords& expected : sets) {
    uint8_t status = status_of(1);
    for (; status & kStatusNotReady; status = status_of(1)) ASSERT_LT(++busy_polls, 3);
    std::array<int32_t, 32> block;
    block.fill(-1);
    ASSERT_NE(KV_ReadBlock(1, 0, 32, block.data()), 0);
    EXPECT_EQ(zetra::standins::testing::read_block_words(block.data()), expected);
    EXPECT_GT(static_cast<uint32_t>(block[0]), sequence) << "each read is a new set";
    sequence = block[0];
  }
  EXPECT_EQ(busy_polls, 1) << "the meter's busy poll shows once";
  EXPECT_EQ(unit.blocks_read(), 3);
  ASSERT_NE(KV_CloseDevice(1), 0);
  uint8_t status = 0xAB;
  EXPECT_EQ(KV_USRRead(1, &status), 0) << "closed";
  EXPECT_EQ(status, 0xAB);
}

// The library's other word calls go to the unit too: a block of control words written, single
// words read back, and a block read from the middle of the sample block.
TEST_F(LibraryThroughDriver, ControlWordsAndPartialBlocksTravelTheWire) {
  ScriptedMeter meter;
  const SampleWords set = make_words(valid_word(0x1FFFFFFF), valid_word(3), valid_word(0),
                                     valid_word(0x0AAAAAAA), false, true);
  meter.push(set);
  SimulatedBaseUnit& unit = plug_base_unit(meter);
  ASSERT_NE(KV_OpenDevice(1), 0);

  int32_t words[3] = {-2, 0x7FFFFFFF, static_cast<int32_t>(0x80000000u)};
  ASSERT_NE(KV_WriteBlock(1, 254, 3, words), 0);
  for (int k = 0; k < 3; ++k) {
    const uint8_t address = static_cast<uint8_t>(254 + k);  // wraps to 0
    EXPECT_EQ(unit.read_word(address), words[k]) << int{address};
    int32_t back = 0;
    ASSERT_NE(KV_ReadWord(1, address, &back), 0);
    EXPECT_EQ(back, words[k]) << int{address};
  }
  int32_t control = 0;
  ASSERT_NE(KV_WriteWord(1, 0, &control), 0);  // release the reset that word 0 = -2 asked for

  ASSERT_EQ(status_of(1) & kStatusNotReady, 0);
  int32_t tail[4] = {-1, -1, -1, -1};
  ASSERT_NE(KV_ReadBlock(1, 30, 4, tail), 0);
  const Block whole = make_block(set, unit.sets_fetched());
  EXPECT_EQ(tail[0], whole[30]);
  EXPECT_EQ(tail[1], whole[31]);
  EXPECT_EQ(tail[2], 0) << "past the block";
  EXPECT_EQ(tail[3], 0);
  EXPECT_EQ(tail[0] & kRange2Line, kRange2Line);
}

// Units are the devices KVUSB-n in the order they came: no device, no open; two units never
// mix their sets.
TEST_F(LibraryThroughDriver, EachUnitNumberIsItsOwnDevice) {
  EXPECT_EQ(KV_OpenDevice(1), 0) << "nothing plugged";
  const SampleWords sets[] = {
      make_words(valid_word(111), valid_word(112), valid_word(113), valid_word(114)),
      make_words(valid_word(221), valid_word(222), valid_word(223), valid_word(224), true, true)};
  ScriptedMeter first, second;
  first.push(sets[0]);
  second.push(sets[1]);
  plug_base_unit(first);
  plug_base_unit(second);
  EXPECT_EQ(KV_OpenDevice(3), 0);
  EXPECT_EQ(KV_OpenDevice(5), 0);
  ASSERT_NE(KV_OpenDevice(2), 0);
  ASSERT_NE(KV_OpenDevice(1), 0);

  for (uint8_t device : {2, 1}) {
    ASSERT_EQ(status_of(device) & kStatusNotReady, 0);
    std::array<int32_t, 32> block{};
    ASSERT_NE(KV_ReadBlock(device, 0, 32, block.data()), 0);
    EXPECT_EQ(zetra::standins::testing::read_block_words(block.data()), sets[device - 1]) << int{device};
  }
}

// A unit pulled out while open: every call fails and leaves its outputs alone, close still
// works, and a unit plugged in again opens under the same number.
TEST_F(LibraryThroughDriver, UnitPulledOutWhileOpen) {
  ScriptedMeter meter;
  meter.push(make_words(valid_word(5), valid_word(6), valid_word(7), valid_word(8)));
  plug_base_unit(meter);
  ASSERT_NE(KV_OpenDevice(1), 0);
  bus_->unplug(ports_.back());

  uint8_t status = 0xAB;
  EXPECT_EQ(KV_USRRead(1, &status), 0);
  EXPECT_EQ(status, 0xAB);
  std::array<int32_t, 32> block;
  block.fill(-7);
  EXPECT_EQ(KV_ReadBlock(1, 0, 32, block.data()), 0);
  EXPECT_EQ(block, (std::array<int32_t, 32>{-7, -7, -7, -7, -7, -7, -7, -7, -7, -7, -7,
                                            -7, -7, -7, -7, -7, -7, -7, -7, -7, -7, -7,
                                            -7, -7, -7, -7, -7, -7, -7, -7, -7, -7}));
  int32_t control = 0;
  EXPECT_EQ(KV_WriteWord(1, 0, &control), 0);
  EXPECT_NE(KV_CloseDevice(1), 0);
  EXPECT_EQ(KV_OpenDevice(1), 0) << "KVUSB-1 is gone";

  plug_base_unit(meter);
  ASSERT_NE(KV_OpenDevice(1), 0);
  ASSERT_EQ(status_of(1) & kStatusNotReady, 0);
  ASSERT_NE(KV_ReadBlock(1, 0, 32, block.data()), 0);
  EXPECT_EQ(zetra::standins::testing::read_block_words(block.data()).channel[1].temperature, valid_word(8));
}

// The PC slept with the recorder connected: the unit lost its firmware and came back as a new
// device. The library's calls on the old handle fail and leave their outputs alone; the recorder's
// reconnect (close, then open again) reaches the unit, which answers as before.
TEST_F(LibraryThroughDriver, ReconnectAfterSleep) {
  ScriptedMeter meter;
  const SampleWords set = make_words(valid_word(31), valid_word(32), valid_word(33), valid_word(34), true);
  meter.push(set);
  plug_base_unit(meter);
  ASSERT_NE(KV_OpenDevice(1), 0);
  ASSERT_EQ(status_of(1) & kStatusNotReady, 0);

  const int slept = ports_.back();
  EXPECT_NE(bus_->sleep_and_wake(slept, PowerSystemSleeping3), slept);
  EXPECT_TRUE(controller_->running_firmware());
  uint8_t status = 0xAB;
  EXPECT_EQ(KV_USRRead(1, &status), 0) << "the handle from before the sleep";
  EXPECT_EQ(status, 0xAB);
  ASSERT_NE(KV_CloseDevice(1), 0);
  EXPECT_EQ(bus_->finish_removal(slept), STATUS_SUCCESS);

  ASSERT_NE(KV_OpenDevice(1), 0) << "reconnect";
  ASSERT_EQ(status_of(1) & kStatusNotReady, 0);
  std::array<int32_t, 32> block{};
  ASSERT_NE(KV_ReadBlock(1, 0, 32, block.data()), 0);
  EXPECT_EQ(zetra::standins::testing::read_block_words(block.data()), set);
}

}  // namespace
}  // namespace kvusb_test
