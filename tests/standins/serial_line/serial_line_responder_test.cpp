// Tests of the meter's side of the modem-line exchange, driven as the acquisition tick drives it.
#include "standins/serial_line/serial_line_responder.h"

#include <gtest/gtest.h>

#include <vector>

#include "standins/meter/meter_model.h"
#include "standins/meter/scripted_meter.h"
#include "standins/serial_line/fake_serial_port.h"
#include "tests/standins/serial_line/line_client.h"

namespace zetra::standins {
namespace {

using testing::connect_lines;
using testing::poll_busy;
using testing::read_words;
using testing::run_tick;

// Keeps every set the meter hands out, to compare with what crossed the lines.
class RecordingSource final : public SampleSource {
 public:
  explicit RecordingSource(SampleSource& inner) : inner_(inner) {}
  SampleWords next(double elapsed_s) override {
    produced.push_back(inner_.next(elapsed_s));
    elapsed.push_back(elapsed_s);
    return produced.back();
  }
  std::vector<SampleWords> produced;
  std::vector<double> elapsed;

 private:
  SampleSource& inner_;
};

TEST(SerialLineResponder, EveryModelSetCrossesTheLinesBitForBit) {
  MeterProfile profile;  // surges often, so range changes cross the lines too
  profile.first_excursion_after_s = 5.0;
  profile.excursion_interval_s = 30.0;
  MeterModel model(7, profile);
  RecordingSource source(model);
  FakeSerialPort port(source, 0.25);
  port.select(2);
  ASSERT_TRUE(port.open());
  connect_lines(port);
  EXPECT_EQ(port.responder().word_starts(), 0) << "the connect groups are no start sequence";

  int busy_ticks = 0, high_range_reads = 0;
  for (int tick = 0; tick < 1500; ++tick) {
    port.reset_counts();
    const testing::TickRead read = run_tick(port);
    ASSERT_EQ(source.produced.size(), size_t(tick + 1)) << "one set per tick";
    const SampleWords& sent = source.produced.back();
    ASSERT_EQ(read.busy, sent.busy) << "tick " << tick;
    if (read.busy) {
      ++busy_ticks;
      EXPECT_EQ(port.line_settings(), 0);
      EXPECT_EQ(port.line_samples(), 2);
      continue;
    }
    for (int ch = 0; ch < kChannels; ++ch) {
      ASSERT_EQ(read.words.channel[ch], sent.channel[ch]) << "tick " << tick << " channel " << ch;
      EXPECT_EQ(read.second_dsr[ch], sent.channel[ch].high_range);
      high_range_reads += sent.channel[ch].high_range;
    }
    EXPECT_EQ(port.line_settings(), 188);
    EXPECT_EQ(port.line_samples(), 126);
  }
  EXPECT_GT(busy_ticks, 0);
  EXPECT_GT(high_range_reads, 0);
  EXPECT_EQ(source.elapsed.front(), 0.25);
  EXPECT_EQ(port.responder().sets_completed(), 1500 - busy_ticks);
}

TEST(SerialLineResponder, ScriptedPatternsArriveExactly) {
  ScriptedMeter meter;
  const SampleWords first = make_words(invalid_word(kMaxData), valid_word(kMaxData),
                                       valid_word(0x0aaaaaaa), valid_word(1), true, false);
  const SampleWords second = make_words(valid_word(1u << 28), invalid_word(0),
                                        valid_word(0x15555555), valid_word(0), false, true);
  meter.push(first);
  meter.push(second);
  FakeSerialPort port(meter);
  ASSERT_TRUE(port.open());
  connect_lines(port);
  EXPECT_EQ(run_tick(port).words, first);
  EXPECT_EQ(run_tick(port).words, second);
}

TEST(SerialLineResponder, ABusyPollIsUsedUpByOnePoll) {
  ScriptedMeter meter;
  const SampleWords a = make_words(valid_word(100), valid_word(200), valid_word(300), valid_word(400));
  const SampleWords b = make_words(valid_word(5), valid_word(6), valid_word(7), valid_word(8));
  meter.push_busy();
  meter.push_busy();
  meter.push(a);
  meter.push_busy();
  meter.push(b);
  FakeSerialPort port(meter);
  ASSERT_TRUE(port.open());
  connect_lines(port);

  EXPECT_TRUE(port.cts());  // busy shows on both lines
  EXPECT_TRUE(port.cd());
  EXPECT_TRUE(poll_busy(port));
  EXPECT_EQ(run_tick(port).words, a);
  // A ready test that stops at CTS when it is high still moves on to the next set.
  EXPECT_TRUE(port.cts());
  const testing::TickRead read = run_tick(port);
  EXPECT_FALSE(read.busy);
  EXPECT_EQ(read.words, b);
  EXPECT_EQ(port.responder().busy_polls(), 3);
  // A ready meter keeps its set however often it is polled.
  EXPECT_FALSE(poll_busy(port));
  EXPECT_FALSE(poll_busy(port));
  EXPECT_EQ(meter.delivered(), 6);
}

TEST(SerialLineResponder, AnAbandonedWordIsReadAgainFromTheStart) {
  ScriptedMeter meter;
  const SampleWords a = make_words(valid_word(0x1234567), valid_word(0x0765432),
                                   valid_word(0x1fedcba), valid_word(0x00abcde), true, true);
  const SampleWords b = make_words(valid_word(1), valid_word(2), valid_word(3), valid_word(4));
  meter.push(a);
  meter.push(b);
  FakeSerialPort port(meter);
  ASSERT_TRUE(port.open());
  connect_lines(port);

  ASSERT_FALSE(poll_busy(port));
  for (bool level : {true, false, true, false, true}) port.set_dtr(level);
  for (int clock = 0; clock < 10; ++clock) {
    port.set_dtr(false);
    port.set_dtr(true);
    port.set_rts(clock % 2 == 1);  // the exchange changes RTS between clocks
  }
  EXPECT_EQ(port.responder().bit_index(), 9);
  EXPECT_EQ(read_words(port).words, a) << "a new start sequence restarts the word";

  // Disconnecting in mid-word (break off, then close) abandons it; after reconnecting the same
  // set comes again.
  ASSERT_FALSE(poll_busy(port));
  for (bool level : {true, false, true, false, true}) port.set_dtr(level);
  port.set_dtr(false);
  port.set_dtr(true);
  ASSERT_TRUE(port.responder().in_word());
  port.set_break(false);
  EXPECT_FALSE(port.responder().in_word());
  port.close();
  ASSERT_TRUE(port.open());
  connect_lines(port);
  EXPECT_EQ(run_tick(port).words, b);
  EXPECT_EQ(meter.delivered(), 2);
}

TEST(SerialLineResponder, RangesFollowRtsAndStayUntilTheNextPoll) {
  ScriptedMeter meter;
  meter.push(make_words(valid_word(1), valid_word(1), valid_word(1), valid_word(1), true, false));
  meter.push(make_words(valid_word(1), valid_word(1), valid_word(1), valid_word(1), false, true));
  FakeSerialPort port(meter);
  ASSERT_TRUE(port.open());
  connect_lines(port);
  const testing::TickRead first = run_tick(port);
  EXPECT_TRUE(first.words.channel[0].high_range);
  EXPECT_FALSE(first.words.channel[1].high_range);
  // After the word (as in a zero capture) DSR still belongs to the set just read.
  port.set_rts(true);
  EXPECT_TRUE(port.dsr());
  port.set_rts(false);
  EXPECT_FALSE(port.dsr());

  // A range change between the two DSR samples of CH1: DSR samples 1 and 2 of the next tick.
  port.reset_counts();
  port.change_range_after_dsr_sample(1, 0, true);
  const testing::TickRead second = run_tick(port);
  EXPECT_FALSE(second.words.channel[0].high_range);
  EXPECT_TRUE(second.second_dsr[0]);
  EXPECT_TRUE(second.words.channel[1].high_range);
  EXPECT_TRUE(second.second_dsr[1]);
}

}  // namespace
}  // namespace zetra::standins
