// Tests of the fake serial port: counting, logging, failure injection, and no real device.
#include "standins/serial_line/fake_serial_port.h"

#include <gtest/gtest.h>

#include "standins/meter/scripted_meter.h"
#include "tests/standins/serial_line/line_client.h"

namespace zetra::standins {
namespace {

TEST(FakeSerialPort, BehavesLikeAPortAndLogsEveryCall) {
  ScriptedMeter meter;
  meter.push(make_words(valid_word(1), valid_word(1), valid_word(1), valid_word(1), true, true));
  FakeSerialPort port(meter);
  EXPECT_EQ(port.device_path(1).rfind("/dev", 0), std::string::npos);

  // A closed port refuses settings and reads every line low; the calls still count.
  EXPECT_FALSE(port.set_dtr(true));
  EXPECT_FALSE(port.dsr());
  EXPECT_EQ(port.line_settings(), 1);
  EXPECT_EQ(port.line_samples(), 1);
  EXPECT_FALSE(port.responder().dtr());

  port.select(3);
  port.fail_open(true);
  EXPECT_FALSE(port.open());
  EXPECT_EQ(port.opened_port(), 0);
  port.fail_open(false);
  ASSERT_TRUE(port.open());
  EXPECT_FALSE(port.open()) << "already open";
  EXPECT_EQ(port.opened_port(), 3);
  EXPECT_EQ(port.open_count(), 1);

  EXPECT_TRUE(port.set_rts(true));
  EXPECT_TRUE(port.dsr());
  port.close();
  EXPECT_FALSE(port.is_open());
  EXPECT_EQ(port.log_text(),
            "dtr=1 dsr select open open open rts=1 dsr close");
  EXPECT_FALSE(port.log()[0].ok);
  EXPECT_EQ(port.log()[2].value, 3);
  EXPECT_TRUE(port.log()[7].value) << "sampled level is logged";

  port.reset_counts();
  EXPECT_EQ(port.line_settings() + port.line_samples(), 0);
  EXPECT_TRUE(port.log().empty());
}

// A fault sweep over the connect groups: exactly the chosen setting is refused, and a refused
// setting leaves its line where it was.
TEST(FakeSerialPort, FailsExactlyTheChosenLineSetting) {
  for (int n = 0; n < 14; ++n) {
    ScriptedMeter meter;
    FakeSerialPort port(meter);
    ASSERT_TRUE(port.open());
    port.fail_line_setting(n);
    std::vector<bool> results;
    for (int group = 0; group < 4; ++group) {
      const bool rts = group % 2 == 1;
      const bool dtr_before = port.responder().dtr();
      results.push_back(port.set_rts(rts));
      results.push_back(port.set_dtr(!rts));
      if (!results.back()) {
        EXPECT_EQ(port.responder().dtr(), dtr_before);
      }
      results.push_back(port.set_break(true));
    }
    results.push_back(port.set_rts(true));
    results.push_back(port.set_break(true));
    ASSERT_EQ(results.size(), 14u);
    for (int k = 0; k < 14; ++k) EXPECT_EQ(results[k], k != n) << "n = " << n << ", k = " << k;
    EXPECT_EQ(port.line_settings(), 14);
    EXPECT_FALSE(port.log()[n + 1].ok);
  }
}

}  // namespace
}  // namespace zetra::standins
