// Connecting and disconnecting over both links, with the exact calls and the window states.
#include <gtest/gtest.h>

#include "recorder/acquisition/instrument_link.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using testing::RecorderHarness;
using testing::Transport;

void expect_connected_controls(WindowModel& w, bool connected) {
  EXPECT_EQ(w["conoff"].caption, connected ? "Off" : "On");
  EXPECT_EQ(w["Timer1"].enabled, connected);
  for (const char* name : {"crec", "czero", "coz", "ccal", "czero2", "coz2", "ccal2"}) {
    EXPECT_EQ(w[name].enabled, connected) << name;
  }
  EXPECT_FALSE(w["cre"].enabled);
  EXPECT_EQ(w["psetup"].enabled, !connected);
}

TEST(UsbLink, CallsTheLibraryInOrderWithTheChosenUnit) {
  RecorderHarness h(Transport::Usb);
  EXPECT_TRUE(h.window()["pusb1"].checked);  // first start: the stand-in unit works at once
  h.recorder.press("pusb2");
  EXPECT_EQ(h.state().dev_no, 2);
  h.recorder.press("conoff");
  expect_connected_controls(h.window(), true);
  h.recorder.press("conoff");
  expect_connected_controls(h.window(), false);
  EXPECT_EQ(h.library_calls(),
            "KV_OpenDevice(2) KV_USRConfig(2, 0) KV_WriteWord(2, 0, 3) KV_WriteWord(2, 0, 0) "
            "KV_CloseDevice(2)");
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_EQ(h.pause.waits_us.size(), 1u);
}

TEST(UsbLink, ChoosingAComPortSwitchesToSerialAndKeepsTheUnit) {
  RecorderHarness h(Transport::Usb);
  h.recorder.press("pusb2");
  h.recorder.press("pcom3");
  EXPECT_EQ(h.state().dev_no, 2);
  EXPECT_TRUE(h.window()["pcom3"].checked);
  EXPECT_FALSE(h.window()["pusb2"].checked);
  h.recorder.press("conoff");
  EXPECT_EQ(h.serial.opened_port(), 3);
  EXPECT_EQ(h.library_calls(), "");
}

TEST(UsbLink, OpenFailureOrMissingLibraryShowsTheMessageAndCallsNothingElse) {
  for (bool library_missing : {false, true}) {
    RecorderHarness h(Transport::Usb);
    if (library_missing) {
      h.library.fail_load(true);
    } else {
      h.library.fail_open(true);
    }
    h.recorder.press("conoff");
    expect_connected_controls(h.window(), false);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, kConnectFailureText);
    EXPECT_EQ(h.dialogs.messages[0].title, "ON/OFF Zetra");
    EXPECT_EQ(h.dialogs.messages[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_EQ(h.dialogs.messages[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(h.library_calls(), library_missing ? "" : "KV_OpenDevice(1)");
  }
}

// A library that cannot be loaded for a reason it can name adds that reason as one more line;
// the next connect with a good library shows nothing of it.
TEST(UsbLink, ALibraryThatSaysWhyItDidNotLoadAddsThatLine) {
  RecorderHarness h(Transport::Usb);
  h.library.fail_load(true, "kvwin32.dll is a 32-bit library: use the 32-bit zetra");
  h.recorder.press("conoff");
  expect_connected_controls(h.window(), false);
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0].text,
            std::string(kConnectFailureText) +
                "\nkvwin32.dll is a 32-bit library: use the 32-bit zetra");
  EXPECT_EQ(h.dialogs.messages[0].title, "ON/OFF Zetra");
  h.library.fail_load(false);
  h.library.fail_open(true);
  h.recorder.press("conoff");
  ASSERT_EQ(h.dialogs.messages.size(), 2u);
  EXPECT_EQ(h.dialogs.messages[1].text, kConnectFailureText);
  h.library.fail_open(false);
  h.recorder.press("conoff");
  expect_connected_controls(h.window(), true);
  EXPECT_EQ(h.dialogs.messages.size(), 2u);
}

TEST(SerialLink, SetsFourteenLineStatesAfterOpening) {
  RecorderHarness h(Transport::Serial);
  h.serial.reset_counts();
  h.recorder.press("conoff");
  expect_connected_controls(h.window(), true);
  EXPECT_EQ(h.serial.line_settings(), 14);
  EXPECT_EQ(h.serial.log_text(),
            "open rts=0 dtr=1 brk=1 rts=1 dtr=0 brk=1 rts=0 dtr=1 brk=1 rts=1 dtr=0 brk=1 "
            "rts=1 brk=1");
  h.serial.reset_counts();
  h.recorder.press("conoff");
  EXPECT_EQ(h.serial.log_text(), "brk=0 close");
  EXPECT_FALSE(h.serial.is_open());
}

TEST(SerialLink, AFailedConnectClosesThePortSoTheNextOneCanSucceed) {
  for (int failing = 0; failing < 14; ++failing) {
    RecorderHarness h(Transport::Serial);
    h.serial.fail_line_setting(failing);
    h.recorder.press("conoff");
    expect_connected_controls(h.window(), false);
    EXPECT_FALSE(h.serial.is_open()) << failing;
    EXPECT_EQ(h.dialogs.messages.size(), 1u);
    h.recorder.press("conoff");
    expect_connected_controls(h.window(), true);
    EXPECT_EQ(h.dialogs.messages.size(), 1u);
  }
  RecorderHarness h(Transport::Serial);
  h.serial.fail_open(true);
  h.recorder.press("conoff");
  EXPECT_EQ(h.dialogs.messages.size(), 1u);
  h.serial.fail_open(false);
  h.recorder.press("conoff");
  expect_connected_controls(h.window(), true);
}

TEST(Link, ProgramEndReleasesThePortAndTheDevice) {
  RecorderHarness usb(Transport::Usb);
  usb.recorder.press("conoff");
  usb.end_program();
  EXPECT_EQ(usb.library_calls(),
            "KV_OpenDevice(1) KV_USRConfig(1, 0) KV_WriteWord(1, 0, 3) KV_WriteWord(1, 0, 0) "
            "KV_CloseDevice(1)");
  RecorderHarness serial(Transport::Serial);
  serial.recorder.press("conoff");
  serial.end_program();
  EXPECT_FALSE(serial.serial.is_open());
}

}  // namespace
}  // namespace zetra
