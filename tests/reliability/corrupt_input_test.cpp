// Inputs the fuzzers found: each is refused with its reason and without undefined behaviour
// (the sanitizer build of the tests checks the latter).
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "recorder/files/recording_file.h"
#include "tests/recorder/files/temp_folder.h"

namespace zetra::files {
namespace {

TEST(CorruptRecording, ACounterNoIntegerCanHoldIsRefusedAsOutsideTheMemory) {
  std::vector<uint8_t> bytes(kRecordBytes, 0);
  testing::put_float_at(bytes, 0, 100000);
  for (float counter : {-1.70141e38f, 3e9f, -3e9f, std::numeric_limits<float>::max()}) {
    testing::put_float_at(bytes, 4, counter);
    LoadedRecording loaded;
    std::string error;
    EXPECT_FALSE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << counter;
    EXPECT_NE(error.find("sample counter"), std::string::npos) << counter << ": " << error;
  }
}

}  // namespace
}  // namespace zetra::files
