// The .ztr format byte by byte, round trips at every memory size, refused files and the atomic
// writer under injected failures.
#include "recorder/files/recording_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "recorder/files/little_endian.h"
#include "tests/recorder/files/temp_folder.h"

namespace zetra::files {
namespace {

using testing::float_at;
using testing::int16_at;
using testing::read_bytes;
using testing::write_bytes;

// A recording of `capacity` samples whose sample i holds recognisable values.
struct Traces {
  explicit Traces(float capacity) {
    const auto n = static_cast<size_t>(capacity) + 1;
    for (FloatArray* a : {&cur1, &cur2, &temp1, &temp2}) a->reset(n);
  }
  void fill(size_t from, size_t to) {
    for (size_t i = from; i <= to; ++i) {
      cur1[i] = static_cast<float>(i) + 0.25f;
      cur2[i] = -static_cast<float>(i);
      temp1[i] = 20.0f + static_cast<float>(i % 100) / 8;
      temp2[i] = 30.0f - static_cast<float>(i % 50) / 4;
    }
  }
  TraceView view() const {
    return {cur1.data(), cur2.data(), temp1.data(), temp2.data(), cur1.size()};
  }
  FloatArray cur1, cur2, temp1, temp2;
};

RecordingHeader header(float capacity, float rec_next) {
  RecordingHeader h;
  h.rec_capacity = capacity;
  h.rec_next = rec_next;
  h.shown_count = rec_next;
  h.view_start = 1;
  h.view_width = 400;
  h.span1 = 2000;
  h.span2 = 5000;
  h.offset1 = 200;
  h.offset2 = -12.5f;
  h.sample_interval = 0.5f;
  h.pa_per_nm1 = 1.25f;
  h.pa_per_nm2 = 2;
  h.tspan1 = 100;
  h.tspan2 = 120;
  h.tbase1 = 10;
  h.tbase2 = -5;
  h.color_cur1 = 16711680;
  h.color_cur2 = 65280;
  h.color_temp1 = 255;
  h.color_temp2 = 16711935;
  h.tc_start1 = 24.55f;
  h.tc_start2 = 25;
  h.tc_factor1 = 100;
  h.tc_factor2 = -3.5f;
  h.tc_off = 1;
  return h;
}

class RecordingFileTest : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  std::string path = folder.file("run.ztr");
};

TEST_F(RecordingFileTest, RecordLayoutByteByByte) {
  Traces t(100000);
  t.fill(1, 1499);
  const RecordingHeader h = header(100000, 1500);
  ASSERT_EQ(write_recording(path, h, "Notes: caf\xE9", t.view()), "");
  const auto b = read_bytes(path);
  ASSERT_EQ(b.size(), 25110u);  // 1499 samples: one record
  const float head[] = {100000, 1500, 1500, 1, 400, 2000, 5000, 200, -12.5f, 0.5f, 1.25f, 2};
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(float_at(b, 4 * i), head[i]) << "field at " << 4 * i;
  for (size_t block : {48u, 6052u, 13056u, 19060u}) EXPECT_EQ(float_at(b, block), 0.0f);
  EXPECT_EQ(float_at(b, 48 + 4 * 1), 1.25f);
  EXPECT_EQ(float_at(b, 48 + 4 * 1499), 1499.25f);
  EXPECT_EQ(float_at(b, 48 + 4 * 1500), 0.0f);  // sample 1500 is not held, and is still 0
  EXPECT_EQ(float_at(b, 6052 + 4 * 7), -7.0f);
  EXPECT_EQ(float_at(b, 13056 + 4 * 130), 20.0f + 30 / 8.0f);
  EXPECT_EQ(float_at(b, 19060 + 4 * 1499), 30.0f - 49 / 4.0f);
  const std::string notes(b.begin() + 12056, b.begin() + 13056);
  EXPECT_EQ(notes.substr(0, 11), "Notes: caf\xE9");
  EXPECT_EQ(notes.find_first_not_of(' ', 11), std::string::npos);
  EXPECT_EQ(int16_at(b, 25064), 100);
  EXPECT_EQ(int16_at(b, 25066), 120);
  const float tail[] = {10, -5, 16711680, 65280, 255, 16711935, 24.55f, 25, 100, -3.5f};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(float_at(b, 25068 + 4 * i), tail[i]);
  EXPECT_EQ(int16_at(b, 25108), 1);
}

TEST_F(RecordingFileTest, RecordCountAndRecordContents) {
  EXPECT_EQ(record_count(1500), 1u);
  EXPECT_EQ(record_count(1501), 2u);
  EXPECT_EQ(record_count(3000), 2u);
  EXPECT_EQ(record_count(3001), 3u);
  Traces t(100000);
  t.fill(1, 1500);
  const std::string long_notes(1200, 'x');
  ASSERT_EQ(write_recording(path, header(100000, 1501), long_notes, t.view()), "");
  const auto b = read_bytes(path);
  ASSERT_EQ(b.size(), 50220u);  // 1500 samples: the second record holds none of them
  // Settings and notes are repeated in every record; the second one's slot 1 is sample 1501.
  for (size_t at : {0u, 4u, 40u, 25064u, 25100u, 25108u}) EXPECT_EQ(b[at], b[25110 + at]);
  EXPECT_EQ(float_at(b, 48 + 4 * 1500), 1500.25f);
  EXPECT_EQ(float_at(b, 25110 + 48 + 4), 0.0f);
  EXPECT_EQ(std::string(b.begin() + 12056, b.begin() + 13056), std::string(1000, 'x'));
}

TEST_F(RecordingFileTest, LongerOldFileKeepsItsExtraRecords) {
  Traces t(100000);
  t.fill(1, 4000);
  ASSERT_EQ(write_recording(path, header(100000, 4001), "old", t.view()), "");
  const auto old = read_bytes(path);
  Traces shorter(100000);
  shorter.fill(1, 100);
  ASSERT_EQ(write_recording(path, header(100000, 101), "new", shorter.view()), "");
  const auto b = read_bytes(path);
  ASSERT_EQ(b.size(), old.size());
  EXPECT_EQ(float_at(b, 4), 101.0f);
  EXPECT_TRUE(std::equal(b.begin() + 25110, b.end(), old.begin() + 25110));
  LoadedRecording loaded;
  std::string error;
  ASSERT_TRUE(read_recording(path, loaded, error)) << error;
  EXPECT_EQ(loaded.header.rec_next, 101.0f);
  EXPECT_EQ(loaded.cur1[100], 100.25f);
  EXPECT_EQ(loaded.cur1[1501], 0.0f);  // the old records are not read
}

// Arrays of the recording's size are read into in place: a shorter recording leaves zeros beyond
// its records, not the older samples, and a file refused by its checks leaves them as they were.
TEST_F(RecordingFileTest, ArraysOfTheRightSizeAreFilledInPlace) {
  Traces long_run(100000);
  long_run.fill(1, 99999);
  ASSERT_EQ(write_recording(path, header(100000, 100000), "long", long_run.view()), "");
  LoadedRecording loaded;
  std::string error;
  ASSERT_TRUE(read_recording(path, loaded, error)) << error;
  const float* place = loaded.temp2.data();
  EXPECT_EQ(loaded.temp2[99999], long_run.temp2[99999]);

  Traces short_run(100000);
  short_run.fill(1, 3001);
  const std::string short_path = folder.file("short.ztr");
  ASSERT_EQ(write_recording(short_path, header(100000, 3002), "short", short_run.view()), "");
  ASSERT_TRUE(read_recording(short_path, loaded, error)) << error;
  EXPECT_EQ(loaded.temp2.data(), place);
  EXPECT_EQ(loaded.header.rec_next, 3002.0f);
  EXPECT_EQ(loaded.notes.substr(0, 5), "short");
  for (const auto& [got, want] : {std::pair{&loaded.cur1, &short_run.cur1}, {&loaded.cur2, &short_run.cur2},
                                  {&loaded.temp1, &short_run.temp1}, {&loaded.temp2, &short_run.temp2}}) {
    EXPECT_EQ(std::memcmp(got->data(), want->data(), 100001 * sizeof(float)), 0);
  }

  auto bytes = read_bytes(short_path);
  put_f32(bytes.data() + 4, 200000.0f);  // a counter beyond the memory
  const std::string bad_path = folder.file("bad.ztr");
  write_bytes(bad_path, bytes);
  EXPECT_FALSE(read_recording(bad_path, loaded, error));
  EXPECT_EQ(loaded.header.rec_next, 3002.0f);
  EXPECT_EQ(std::memcmp(loaded.cur1.data(), short_run.cur1.data(), 100001 * sizeof(float)), 0);
}

TEST_F(RecordingFileTest, RoundTripsAtEveryMemorySizeWithTheLastRecordAtTheEnd) {
  for (float capacity : {100000.0f, 200000.0f, 500000.0f, 1000000.0f, 2000000.0f, 5000000.0f}) {
    SCOPED_TRACE(capacity);
    Traces t(capacity);
    const auto cap = static_cast<size_t>(capacity);
    t.fill(1, 2000);
    t.fill(cap - 2000, cap);  // the final record runs past the end of the arrays
    RecordingHeader h = header(capacity, capacity);
    ASSERT_EQ(write_recording(path, h, "n", t.view()), "");
    EXPECT_EQ(std::filesystem::file_size(path), record_count(capacity) * kRecordBytes);
    LoadedRecording loaded;
    std::string error;
    ASSERT_TRUE(read_recording(path, loaded, error)) << error;
    EXPECT_EQ(loaded.header.rec_capacity, capacity);
    EXPECT_EQ(loaded.header.rec_next, capacity);
    ASSERT_EQ(loaded.cur1.size(), cap + 1);
    for (auto [a, b] : {std::pair{&loaded.cur1, &t.cur1}, {&loaded.cur2, &t.cur2},
                        {&loaded.temp1, &t.temp1}, {&loaded.temp2, &t.temp2}}) {
      EXPECT_EQ(std::memcmp(a->data() + 1, b->data() + 1, cap * sizeof(float)), 0);
    }
    std::filesystem::remove(path);
  }
}

TEST_F(RecordingFileTest, EveryTruncationOfASmallFileIsRefused) {
  Traces t(100000);
  t.fill(1, 1600);
  ASSERT_EQ(write_recording(path, header(100000, 1601), "", t.view()), "");
  const auto bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), 2 * kRecordBytes);
  LoadedRecording loaded;
  std::string error;
  for (size_t length = 0; length < bytes.size(); ++length) {
    ASSERT_FALSE(parse_recording(bytes.data(), length, loaded, error)) << length;
    ASSERT_NE(error.find(length < kRecordBytes ? "shorter than one record" : "needs 2"),
              std::string::npos)
        << length << ": " << error;
  }
  EXPECT_EQ(loaded.cur1.size(), 0u);  // no failed read left anything behind
  EXPECT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << error;
  EXPECT_FALSE(read_recording(folder.file("missing.ztr"), loaded, error));
  EXPECT_EQ(error, "the file does not exist");
  EXPECT_FALSE(std::filesystem::exists(folder.file("missing.ztr")));
}

TEST_F(RecordingFileTest, ImpossibleCountersAndIntervalsAreRefusedOddDisplaySettingsReplaced) {
  Traces t(100000);
  t.fill(1, 10);
  ASSERT_EQ(write_recording(path, header(100000, 11), "", t.view()), "");
  const auto good = read_bytes(path);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    size_t offset;
    float value;
    const char* reason;
  };
  // What the recorder could never have written: the file is refused, naming the field.
  const Case refused[] = {
      {0, 123456, "memory size"},     {0, 0, "memory size"},          {0, 3e38f, "memory size"},
      {4, 0, "sample counter"},       {4, 100001, "sample counter"},  {4, nan, "sample counter"},
      {36, 0, "sample interval"},     {36, -0.5f, "sample interval"}, {36, inf, "sample interval"},
      {36, 3e38f, "sample interval"}, {36, 1e-4f, "sample interval"}, {36, 0.3f, "sample interval"},
      {36, 2.0f, "sample interval"}};
  LoadedRecording loaded;
  std::string error;
  for (const Case& c : refused) {
    auto bytes = good;
    testing::put_float_at(bytes, c.offset, c.value);
    EXPECT_FALSE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << c.offset;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.offset << ": " << error;
  }
  // Display settings outside what the recorder produces: the start-up value, and a finding.
  struct Replaced {
    size_t offset;
    float value;
    float RecordingHeader::*field;
    float start_up;
    const char* name;
  };
  using H = RecordingHeader;
  const Replaced replaced[] = {{16, 0, &H::view_width, 400, "chart width"},
                               {16, nan, &H::view_width, 400, "chart width"},
                               {16, 3e38f, &H::view_width, 400, "chart width"},
                               {16, 123, &H::view_width, 400, "chart width"},
                               {20, 0, &H::span1, 2000, "CH1 value span"},
                               {24, -5000, &H::span2, 5000, "CH2 value span"},
                               {20, 3e38f, &H::span1, 2000, "CH1 value span"},
                               {28, nan, &H::offset1, 200, "CH1 offset"},
                               {32, 3e38f, &H::offset2, 0, "CH2 offset"},
                               {25068, inf, &H::tbase1, 0, "temperature base"},
                               {25072, 1e9f, &H::tbase2, 0, "temperature base"},
                               {40, nan, &H::pa_per_nm1, 1, "calibration"},
                               {44, 0, &H::pa_per_nm2, 2, "calibration"},
                               {25076, 3e38f, &H::color_cur1, 16711680, "colour"},
                               {25080, -1, &H::color_cur2, 65280, "colour"},
                               {25084, 0.5f, &H::color_temp1, 255, "colour"},
                               {25100, inf, &H::tc_factor1, 100, "compensation factor"}};
  for (const Replaced& c : replaced) {
    auto bytes = good;
    testing::put_float_at(bytes, c.offset, c.value);
    ASSERT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << c.offset << error;
    EXPECT_EQ(loaded.header.*c.field, c.start_up) << c.offset;
    ASSERT_EQ(loaded.findings.size(), 1u) << c.offset;
    EXPECT_NE(loaded.findings[0].find(c.name), std::string::npos) << loaded.findings[0];
  }
  for (int16_t tspan : {0, -10, 7}) {
    auto bytes = good;
    bytes[25066] = static_cast<uint8_t>(tspan);
    bytes[25067] = static_cast<uint8_t>(static_cast<uint16_t>(tspan) >> 8);
    ASSERT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << error;
    EXPECT_EQ(loaded.header.tspan2, 100);
    EXPECT_EQ(loaded.header.tspan1, 100) << "the good one stays";
  }
  // A width that fits only another rate: at 5 samples a second the start-up width does not fit,
  // so 10 s per division at that rate.
  {
    auto bytes = good;
    testing::put_float_at(bytes, 36, 0.2f);
    testing::put_float_at(bytes, 16, 3e38f);
    ASSERT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << error;
    EXPECT_EQ(loaded.header.view_width, 1000.0f);
    EXPECT_EQ(loaded.header.sample_interval, 0.2f);
  }
  // The good file itself has nothing to report.
  ASSERT_TRUE(parse_recording(good.data(), good.size(), loaded, error)) << error;
  EXPECT_TRUE(loaded.findings.empty());
  EXPECT_EQ(loaded.header.offset2, -12.5f);
  EXPECT_EQ(loaded.header.view_width, 400.0f);
  // Older versions wrote fractional counters: rounded, halves to even.
  for (auto [stored, expected] : {std::pair{10.5f, 10.0f}, {11.5f, 12.0f}, {11.4f, 11.0f}}) {
    auto bytes = good;
    testing::put_float_at(bytes, 4, stored);
    ASSERT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << error;
    EXPECT_EQ(loaded.header.rec_next, expected);
  }
  auto bytes = good;
  testing::put_float_at(bytes, 12, 5000);  // view_start far beyond the data
  testing::put_float_at(bytes, 8, 9000);   // shown_count too
  ASSERT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << error;
  EXPECT_EQ(loaded.header.view_start, 11.0f);
  EXPECT_EQ(loaded.header.shown_count, 11.0f);
  testing::put_float_at(bytes, 12, -3);
  testing::put_float_at(bytes, 8, std::numeric_limits<float>::quiet_NaN());
  ASSERT_TRUE(parse_recording(bytes.data(), bytes.size(), loaded, error)) << error;
  EXPECT_EQ(loaded.header.view_start, 1.0f);
  EXPECT_EQ(loaded.header.shown_count, 11.0f);
}

TEST_F(RecordingFileTest, AFailedWriteNeverCostsTheOldFile) {
  Traces old_traces(100000);
  old_traces.fill(1, 4000);
  ASSERT_EQ(write_recording(path, header(100000, 4001), "old", old_traces.view()), "");
  const auto old = read_bytes(path);
  Traces t(100000);
  t.fill(1, 2000);
  for (int step = 0;; ++step) {
    FaultPlan faults{step};
    const std::string error = write_recording(path, header(100000, 2001), "new", t.view(), &faults);
    EXPECT_TRUE(testing::files_named_with(folder.path(), ".saving").empty()) << step;
    if (error.empty()) {
      EXPECT_GT(step, 3);
      const auto now = read_bytes(path);
      ASSERT_EQ(now.size(), old.size());
      EXPECT_EQ(float_at(now, 4), 2001.0f);
      break;
    }
    EXPECT_NE(error.find("simulated failure"), std::string::npos) << error;
    ASSERT_EQ(read_bytes(path), old) << "after a failure at step " << step;
  }
  // A folder that cannot take the file: the reason comes from the system.
  const std::string error =
      write_recording(folder.file("no/such/folder.ztr"), header(100000, 11), "", t.view());
  // ("No such file or directory" on Linux, "Path not found" on Windows)
  EXPECT_TRUE(error.find("No such file") != std::string::npos ||
              error.find("not found") != std::string::npos)
      << error;
}

}  // namespace
}  // namespace zetra::files
