// Sample sets read by the device library's calls through kvusb, the emulated USB stack and the
// simulated controller running its firmware, from a meter that encoded known words.
#include "base_unit_endpoints.h"
#include "driver_fixture.h"
#include "standins/base_unit/block_layout.h"
#include "standins/meter/scripted_meter.h"

namespace kvusb_test {
namespace {

using namespace zetra::standins;

// Reads a word back from the block independently of the unit's own layout code.
MeterWord decode(const Block& block, int32_t line) {
  MeterWord word;
  word.lead = (block[kLeadWord] & line) != 0;
  for (int i = kFirstDataWord; i < kBlockWords; ++i)
    if (block[i] & line) word.data |= 1u << (31 - i);
  return word;
}

TEST_F(DriverTest, LibraryReadsSampleSetsThroughTheDriver) {
  ScriptedMeter meter;
  const SampleWords sets[] = {
      make_words(valid_word(0x1234567), valid_word(0x0ABCDEF), valid_word(0x1FFFFFFF), invalid_word(0x1555), true),
      make_words(valid_word(1), valid_word(0), invalid_word(0x1FFFFFFF), valid_word(0x0F0F0F0), false, true),
  };
  for (const auto& s : sets) meter.push(s);
  SimulatedBaseUnit unit(meter);
  auto endpoints = std::make_shared<BaseUnitEndpoints>(unit);
  controller_ = std::make_shared<emu::SimulatedController>(endpoints);
  bus_->complete_on_worker(true);
  bus_->plug(controller_);
  ASSERT_TRUE(controller_->running_firmware());

  DriverTransport library;
  ASSERT_TRUE(library.open(1));
  ASSERT_TRUE(library.configure(0x5A));
  EXPECT_EQ(unit.configuration(), 0x5A);
  ASSERT_TRUE(library.write_word(0, 0));
  for (const auto& expected : sets) {
    uint8_t status = 0xFF;
    ASSERT_TRUE(library.status(&status));
    EXPECT_EQ(status & kStatusNotReady, 0);
    Block block{};
    ASSERT_TRUE(library.read_block(0, kBlockWords, block.data()));
    EXPECT_EQ(decode(block, kCur1Line), expected.channel[0].current);
    EXPECT_EQ(decode(block, kTemp1Line), expected.channel[0].temperature);
    EXPECT_EQ(decode(block, kCur2Line), expected.channel[1].current);
    EXPECT_EQ(decode(block, kTemp2Line), expected.channel[1].temperature);
    EXPECT_EQ((block[kRangeWord] & kRange1Line) != 0, expected.channel[0].high_range);
    EXPECT_EQ((block[kRangeWord] & kRange2Line) != 0, expected.channel[1].high_range);
  }
  EXPECT_EQ(unit.blocks_read(), 2);
  library.close();
  unplug_all_and_check_clean();
}

}  // namespace
}  // namespace kvusb_test
