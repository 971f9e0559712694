// Port naming, the system's list of ports, and the lines of a port that is not a serial device
// (the null device) or not open. No test opens a COM port: one may be a real device.
#include "platform/win32/win32_serial_port.h"

#include <gtest/gtest.h>

#include "platform/win32/serial_port_list.h"

namespace zetra::platform {
namespace {

TEST(Win32SerialPortTest, ComNumbersAndChosenPortsNameTheDevice) {
  Win32SerialPort port;
  EXPECT_EQ(port.device_path(1), "COM1");
  EXPECT_EQ(port.device_path(4), "COM4");
  EXPECT_EQ(port.selected(), 1);
  port.select(3);
  EXPECT_EQ(port.selected(), 3);
  port.set_device(3, "COM12");
  EXPECT_EQ(port.device_path(3), "COM12");
  port.set_device(3, "");
  EXPECT_EQ(port.device_path(3), "COM3");
  for (const PortInfo& info : port.available_ports()) EXPECT_FALSE(info.device.empty());
}

TEST(Win32SerialPortTest, LinesOfAClosedPortOrOfANonSerialDeviceRefuseAndReadLow) {
  Win32SerialPort port;
  EXPECT_FALSE(port.is_open());
  EXPECT_FALSE(port.set_dtr(true));
  EXPECT_FALSE(port.set_break(true));
  EXPECT_FALSE(port.cts());
  port.set_device(2, "NUL");
  port.select(2);
  ASSERT_TRUE(port.open());
  EXPECT_TRUE(port.is_open());
  EXPECT_TRUE(port.open());  // reopening closes the first handle
  EXPECT_FALSE(port.set_dtr(true));
  EXPECT_FALSE(port.set_rts(false));
  EXPECT_FALSE(port.set_break(true));
  EXPECT_FALSE(port.cts());
  EXPECT_FALSE(port.dsr());
  EXPECT_FALSE(port.cd());
  port.close();
  EXPECT_FALSE(port.is_open());
  port.close();  // closing a closed port is harmless
  port.set_device(2, "no-such-port-here");
  EXPECT_FALSE(port.open());
  EXPECT_FALSE(port.is_open());
}

TEST(Win32SerialPortTest, PortListsMergeInComOrderKeepingDescriptions) {
  const std::vector<PortInfo> merged = merge_port_lists(
      {{"COM10", ""}, {"COM2", ""}, {"CNCA0", ""}, {"COM1", ""}},
      {{"COM2", "USB Serial Port (COM2)"}, {"COM10", ""}, {"COM3", "Bluetooth link"}, {"", "x"}});
  ASSERT_EQ(merged.size(), 5u);
  EXPECT_EQ(merged[0].device, "COM1");
  EXPECT_EQ(merged[1].device, "COM2");
  EXPECT_EQ(merged[1].description, "USB Serial Port (COM2)");
  EXPECT_EQ(merged[2].device, "COM3");
  EXPECT_EQ(merged[2].description, "Bluetooth link");
  EXPECT_EQ(merged[3].device, "COM10");
  EXPECT_EQ(merged[4].device, "CNCA0");
}

}  // namespace
}  // namespace zetra::platform
