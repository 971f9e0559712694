// Tests of the library's unit behind the driver, over a device I/O that plays the driver's
// transfer codes in front of the simulated base unit's bulk pipes and can fail any call.
#include "standins/kvwin32/driver_unit.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "standins/base_unit/base_unit_endpoints.h"
#include "standins/meter/scripted_meter.h"
#include "tests/standins/block_reader.h"

namespace zetra::standins {
namespace {

// What the driver does with a transfer: pipe 1 goes out, pipe 0 comes in, 0 bytes is a failure.
class FakeDeviceIo final : public DeviceIo {
 public:
  struct Call {
    uint32_t code;
    uint8_t pipe;
    uint32_t length;
  };

  explicit FakeDeviceIo(emu::BulkEndpoints& endpoints) : endpoints_(endpoints) {}

  DeviceHandle open(const std::u16string& name) override {
    opened.push_back(name);
    return present ? this : nullptr;
  }
  void close(DeviceHandle handle) override {
    EXPECT_EQ(handle, this);
    ++closes;
  }
  bool control(DeviceHandle handle, uint32_t code, const void* input, uint32_t input_length,
               void* output, uint32_t output_length, uint32_t& returned) override {
    EXPECT_EQ(handle, this);
    EXPECT_EQ(input_length, 1u);
    const uint8_t pipe = *static_cast<const uint8_t*>(input);
    calls.push_back({code, pipe, output_length});
    returned = 0;
    if (static_cast<long>(calls.size()) - 1 == fail_call) return false;
    auto* data = static_cast<uint8_t*>(output);
    if (pipe == 1) {
      if (endpoints_.out(data, output_length) != USBD_STATUS_SUCCESS) return false;
      returned = output_length;
    } else {
      size_t transferred = 0;
      endpoints_.in(data, output_length, &transferred);
      returned = static_cast<uint32_t>(transferred);
    }
    return returned > 0;
  }

  bool present = true;
  long fail_call = -1;  // this control call (0-based, counted over the fake's life) fails
  std::vector<std::u16string> opened;
  int closes = 0;
  std::vector<Call> calls;

 private:
  emu::BulkEndpoints& endpoints_;
};

class DriverUnitTest : public ::testing::Test {
 protected:
  ScriptedMeter meter_;
  SimulatedBaseUnit base_{meter_};
  BaseUnitEndpoints endpoints_{base_};
  FakeDeviceIo io_{endpoints_};
};

TEST_F(DriverUnitTest, OpensItsOwnDeviceAndClosesItOnce) {
  {
    DriverUnit unit(3, io_);
    EXPECT_FALSE(unit.is_open());
    uint8_t status = 0xAB;
    EXPECT_FALSE(unit.status(status)) << "not open";
    EXPECT_EQ(status, 0xAB);
    EXPECT_TRUE(io_.calls.empty());

    ASSERT_TRUE(unit.open());
    ASSERT_TRUE(unit.open()) << "already open";
    EXPECT_EQ(io_.opened, std::vector<std::u16string>{u"\\\\.\\KVUSB-3"});
    unit.close();
    unit.close();
    EXPECT_EQ(io_.closes, 1);
    ASSERT_TRUE(unit.open());
  }
  EXPECT_EQ(io_.closes, 2) << "the destructor closes what is open";

  io_.present = false;
  DriverUnit absent(1, io_);
  EXPECT_FALSE(absent.open());
  EXPECT_FALSE(absent.is_open());
  EXPECT_FALSE(absent.configure(1));
  EXPECT_EQ(io_.closes, 2);
}

// Commands go out on pipe 1 with the code whose buffer the driver only reads; answers come in on
// pipe 0 in packets of at most 64 bytes with the code whose buffer the driver writes.
TEST_F(DriverUnitTest, ExchangesUseThePipesAndCodesOfTheDriver) {
  const SampleWords set = make_words(valid_word(0x1234567), invalid_word(kMaxData),
                                     valid_word(0), valid_word(0x0F0F0F0), false, true);
  meter_.push(set);
  DriverUnit unit(1, io_);
  ASSERT_TRUE(unit.open());
  uint8_t status = 0xEE;
  ASSERT_TRUE(unit.status(status));
  EXPECT_EQ(status, 0);
  int32_t block[32];
  ASSERT_TRUE(unit.read_block(0, 32, block));
  EXPECT_EQ(testing::read_block_words(block), set);

  ASSERT_EQ(io_.calls.size(), 5u);
  const uint32_t codes[] = {0x222019, 0x222016, 0x222019, 0x222016, 0x222016};
  const uint8_t pipes[] = {1, 0, 1, 0, 0};
  const uint32_t lengths[] = {8, 1, 8, 64, 64};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(io_.calls[i].code, codes[i]) << i;
    EXPECT_EQ(io_.calls[i].pipe, pipes[i]) << i;
    EXPECT_EQ(io_.calls[i].length, lengths[i]) << i;
  }

  int32_t long_block[255];
  ASSERT_TRUE(unit.read_block(0, 255, long_block));
  EXPECT_EQ(io_.calls.size(), 5u + 1u + 16u) << "1020 bytes in 16 packets";
  EXPECT_EQ(io_.calls.back().length, 1020u - 15u * 64u);
  for (int i = 32; i < 255; ++i) ASSERT_EQ(long_block[i], 0) << i;
}

// Fault sweep: call N of each operation fails, for every N until the operation succeeds. A
// failed operation returns false with its outputs untouched, and the unit's next exchange still
// gets its own answer, never the rest of an earlier one.
TEST_F(DriverUnitTest, AFailedCallLeavesOutputsAloneAndTheNextExchangeLinesUp) {
  const SampleWords set = make_words(valid_word(77), valid_word(78), valid_word(79),
                                     valid_word(80), true, true);
  meter_.push(set);
  DriverUnit unit(2, io_);
  ASSERT_TRUE(unit.open());
  base_.write_word(200, 0x01020304);

  uint8_t status = 0xAB;
  int32_t word = -9;
  int32_t block[32];
  struct Operation {
    const char* name;
    std::function<bool()> run;
    std::function<void()> check_done;  // what a successful run gives
  };
  const Operation operations[] = {
      {"status", [&] { return unit.status(status); }, [&] { EXPECT_EQ(status, 0); }},
      {"configure", [&] { return unit.configure(0x33); },
       [&] { EXPECT_EQ(base_.configuration(), 0x33); }},
      {"write word", [&] { return unit.write_word(201, -5); },
       [&] { EXPECT_EQ(base_.read_word(201), -5); }},
      {"read word", [&] { return unit.read_word(200, word); },
       [&] { EXPECT_EQ(word, 0x01020304); }},
      {"read block", [&] { return unit.read_block(0, 32, block); },
       [&] { EXPECT_EQ(testing::read_block_words(block), set); }},
  };
  for (const Operation& operation : operations) {
    for (long n = 0;; ++n) {
      ASSERT_LT(n, 10) << operation.name;
      status = 0xAB;
      word = -9;
      std::fill(std::begin(block), std::end(block), -7);
      io_.fail_call = static_cast<long>(io_.calls.size()) + n;
      const bool done = operation.run();
      io_.fail_call = -1;
      SCOPED_TRACE(std::string(operation.name) + ", call " + std::to_string(n) + " failed");
      if (done) {
        EXPECT_GT(n, 0) << "the first call cannot fail unnoticed";
        operation.check_done();
        break;
      }
      EXPECT_EQ(status, 0xAB);
      EXPECT_EQ(word, -9);
      EXPECT_EQ(block[0], -7);
      EXPECT_EQ(block[31], -7);
      EXPECT_EQ(endpoints_.answer_waiting(), 0u) << "the rest of the answer was drained";
      int32_t check = 0;
      ASSERT_TRUE(unit.read_word(200, check));
      EXPECT_EQ(check, 0x01020304);
    }
  }
}

}  // namespace
}  // namespace zetra::standins
