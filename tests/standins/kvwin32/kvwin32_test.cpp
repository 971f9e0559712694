// Tests of the built stand-in kvwin32 library, loaded by path at run time as the recorder loads it.
#include "standins/kvwin32/kvwin32.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>

#include "tests/standins/block_reader.h"

namespace zetra::standins {
namespace {

const char* const kFunctions[] = {
    "KV_OpenDevice", "KV_CloseDevice", "KV_RequestOwnership", "KV_ReleaseOwnership",
    "KV_QueryOwnership", "KV_WriteWord", "KV_WriteBlock", "KV_ReadWord", "KV_ReadBlock",
    "KV_GetStatus", "KV_USRConfig", "KV_USRWrite", "KV_USRRead", "KV_GetBaseUnitRevisionLevel",
    "KV_Identify", "KV_ProgramModuleIdentity", "KV_ReadCalData", "KV_ProgramCalData"};

class Kvwin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(ZETRA_KVWIN32_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }
  template <typename F>
  F* get(const char* name) {
    return reinterpret_cast<F*>(dlsym(handle_, name));
  }

  void* handle_ = nullptr;
};

#define KV(name) (*get<decltype(name)>(#name))

TEST_F(Kvwin32, ExportsExactlyTheEighteenFunctions) {
  for (const char* name : kFunctions) EXPECT_NE(dlsym(handle_, name), nullptr) << name;

  const std::string command = std::string(ZETRA_NM) + " -D --defined-only " + ZETRA_KVWIN32_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (fgets(line, sizeof line, pipe)) {
    std::string text(line);
    text.erase(text.find_last_not_of("\r\n") + 1);
    exported.insert(text.substr(text.rfind(' ') + 1));
  }
  ASSERT_EQ(pclose(pipe), 0) << command;
  EXPECT_EQ(exported, std::set<std::string>(std::begin(kFunctions), std::end(kFunctions)));
}

TEST_F(Kvwin32, ServesUnitsOneToFourWithLiveSampleSets) {
  EXPECT_EQ(KV(KV_OpenDevice)(0), 0);
  EXPECT_EQ(KV(KV_OpenDevice)(5), 0);
  uint8_t status = 0xab;
  EXPECT_EQ(KV(KV_USRRead)(4, &status), 0) << "unit 4 is not open";
  EXPECT_EQ(status, 0xab);

  ASSERT_NE(KV(KV_OpenDevice)(4), 0);
  uint8_t config = 0;
  EXPECT_NE(KV(KV_USRConfig)(4, &config), 0);
  int32_t control = 3;
  EXPECT_NE(KV(KV_WriteWord)(4, 0, &control), 0);
  int32_t read_back = 0;
  KV(KV_ReadWord)(4, 0, &read_back);
  EXPECT_EQ(read_back, 3);
  KV(KV_USRRead)(4, &status);
  EXPECT_EQ(status, 0x03) << "held in reset";
  control = 0;
  KV(KV_WriteWord)(4, 0, &control);

  // The model's own busy polls are rare; a few polls find a set.
  int polls = 0;
  do {
    ASSERT_NE(KV(KV_USRRead)(4, &status), 0);
  } while ((status & 0x01) && ++polls < 20);
  ASSERT_EQ(status & 0x01, 0);
  int32_t block[32] = {};
  const auto read_at = std::chrono::steady_clock::now();
  ASSERT_NE(KV(KV_ReadBlock)(4, 0, 32, block), 0);
  KV(KV_USRRead)(4, &status);
  if (std::chrono::steady_clock::now() - read_at < std::chrono::milliseconds(90)) {
    EXPECT_EQ(status & 0x01, 0x01) << "the meter is still converting";
  }

  const SampleWords words = testing::read_block_words(block);
  for (const ChannelWords& ch : words.channel) {
    EXPECT_TRUE(ch.current.lead && ch.temperature.lead);
    const double temperature_c = ch.temperature.data / 715828.0 - 3.7;
    EXPECT_NEAR(temperature_c, 24.55, 2.0);
  }
  const double cur1_pa = words.channel[0].current.data / 715.828 - 11697;
  EXPECT_GT(cur1_pa, 300.0);
  EXPECT_LT(cur1_pa, 1000.0);

  EXPECT_NE(KV(KV_CloseDevice)(4), 0);
  block[3] = -5;
  EXPECT_EQ(KV(KV_ReadBlock)(4, 0, 32, block), 0);
  EXPECT_EQ(block[3], -5);
}

}  // namespace
}  // namespace zetra::standins
