// Tests of the in-process device library over simulated units 1..4.
#include "standins/base_unit/base_unit_library.h"

#include <gtest/gtest.h>

#include "tests/standins/block_reader.h"

namespace zetra::standins {
namespace {

// The calls of connect, one tick and disconnect, as the recorder makes them for unit 2.
TEST(BaseUnitLibrary, LogsEveryCallInOrderAndServesTheModel) {
  BaseUnitLibrary library(100);
  ASSERT_TRUE(library.load());
  ASSERT_NE(library.open_device(2), 0);
  uint8_t config = 0;
  library.usr_config(2, config);
  int32_t control = 3;
  library.write_word(2, 0, control);
  control = 0;
  library.write_word(2, 0, control);
  uint8_t status = 0xff;
  library.usr_read(2, status);
  std::array<int32_t, 32> block{};
  library.read_block(2, 0, 32, block.data());
  library.close_device(2);

  EXPECT_EQ(library.call_texts(),
            (std::vector<std::string>{"load()", "KV_OpenDevice(2)", "KV_USRConfig(2, 0)",
                                      "KV_WriteWord(2, 0, 3)", "KV_WriteWord(2, 0, 0)",
                                      "KV_USRRead(2, " + std::to_string(status) + ")",
                                      "KV_ReadBlock(2, 0, 32)", "KV_CloseDevice(2)"}));
  EXPECT_EQ(library.count_calls("KV_WriteWord"), 2);
  EXPECT_FALSE(library.is_open(2));
  SampleWords expected = library.unit(2).presented();
  expected.busy = false;
  EXPECT_EQ(testing::read_block_words(block.data()), expected);
  EXPECT_TRUE(expected.channel[0].current.lead && expected.channel[1].temperature.lead);
  EXPECT_EQ(library.unit(1).sets_fetched(), 0u) << "other units untouched";
}

TEST(BaseUnitLibrary, FailuresAndClosedUnitsLeaveOutputsAlone) {
  BaseUnitLibrary library;
  library.fail_load(true);
  EXPECT_FALSE(library.load());
  library.fail_load(false);
  EXPECT_TRUE(library.load());

  EXPECT_EQ(library.open_device(0), 0);
  EXPECT_EQ(library.open_device(5), 0);
  library.fail_open(true);
  EXPECT_EQ(library.open_device(1), 0);
  EXPECT_FALSE(library.is_open(1));

  uint8_t status = 0xab;
  std::array<int32_t, 32> block;
  block.fill(-7);
  EXPECT_EQ(library.usr_read(1, status), 0);
  EXPECT_EQ(library.read_block(1, 0, 32, block.data()), 0);
  EXPECT_EQ(status, 0xab);
  EXPECT_EQ(block[5], -7);

  library.fail_open(false);
  ASSERT_NE(library.open_device(1), 0);
  library.fill_nothing_on_read(true);
  ASSERT_NE(library.usr_read(1, status), 0);
  const uint32_t fetched = library.unit(1).sets_fetched();
  EXPECT_NE(library.read_block(1, 0, 32, block.data()), 0);
  EXPECT_EQ(block[5], -7) << "a read that fills nothing";
  library.usr_read(1, status);
  EXPECT_EQ(library.unit(1).sets_fetched(), fetched + 1) << "the lost set is used up";
}

}  // namespace
}  // namespace zetra::standins
