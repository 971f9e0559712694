// Port naming and the behaviour of a port that is not open. No test opens a real device.
#include "platform/qt/qt_serial_port.h"

#include <gtest/gtest.h>

namespace zetra::platform {
namespace {

TEST(QtSerialPortTest, ComNumbersMapToThePlatformsPortNames) {
  QtSerialPort port;
#ifdef _WIN32
  EXPECT_EQ(port.device_path(1), "COM1");
  EXPECT_EQ(port.device_path(4), "COM4");
#else
  EXPECT_EQ(port.device_path(1), "/dev/ttyS0");
  EXPECT_EQ(port.device_path(4), "/dev/ttyS3");
#endif
  EXPECT_EQ(port.selected(), 1);
  port.select(3);
  EXPECT_EQ(port.selected(), 3);
}

TEST(QtSerialPortTest, LinesOfAClosedPortRefuseAndReadLow) {
  QtSerialPort port;
  EXPECT_FALSE(port.is_open());
  EXPECT_FALSE(port.set_dtr(true));
  EXPECT_FALSE(port.set_rts(true));
  EXPECT_FALSE(port.set_break(true));
  EXPECT_FALSE(port.cts());
  EXPECT_FALSE(port.dsr());
  EXPECT_FALSE(port.cd());
  port.close();  // closing a closed port is harmless
  EXPECT_FALSE(port.is_open());
}

}  // namespace
}  // namespace zetra::platform

#ifndef _WIN32
#include <pty.h>
#include <unistd.h>

namespace zetra::platform {
namespace {

// A chosen device (here the far end of a pseudo-terminal pair, never a real port) is what the
// COM number opens; clearing it gives the platform's name back without opening anything.
TEST(QtSerialPortTest, MappedDeviceIsTheOneOpened) {
  int controller = -1, terminal = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&controller, &terminal, name, nullptr, nullptr), 0);
  QtSerialPort port;
  port.set_device(2, name);
  EXPECT_EQ(port.device_path(2), name);
  EXPECT_EQ(port.device_path(1), "/dev/ttyS0");
  port.select(2);
  EXPECT_TRUE(port.open());
  EXPECT_TRUE(port.is_open());
  port.close();
  port.set_device(2, "");
  EXPECT_EQ(port.device_path(2), "/dev/ttyS1");
  for (const PortInfo& info : port.available_ports()) EXPECT_FALSE(info.device.empty());
  close(terminal);
  close(controller);
}

}  // namespace
}  // namespace zetra::platform
#endif
