// Choosing a serial device for a COM entry: the offered ports, the mapping on the port, the small
// file beside the settings file, and the mapping back at the next start. Only the fake port.
#include "recorder/files/port_choice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using testing::RecorderHarness;
using testing::Transport;

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PortChoice, MapFileReadsWhatItWritesAndSkipsTheRest) {
  const PortMap map = {{1, "/dev/ttyUSB0"}, {4, "/dev/serial/by-id/usb-FTDI_x-if00"}};
  EXPECT_EQ(format_port_map(map), "COM1=/dev/ttyUSB0\nCOM4=/dev/serial/by-id/usb-FTDI_x-if00\n");
  EXPECT_EQ(parse_port_map(format_port_map(map)), map);
  EXPECT_EQ(parse_port_map("COM2=/dev/ttyACM0\r\nCOM5=/dev/x\nCOM0=/dev/y\nCOM3=\njunk\n"),
            (PortMap{{2, "/dev/ttyACM0"}}));
}

TEST(PortChoice, ChosenDeviceServesTheComEntryNowAndAfterARestart) {
  testing::TempFolder folder;
  {
    RecorderHarness h(Transport::Serial, folder.path());
    h.serial.offered_ports = {{"/dev/ttyUSB0", "FT232R USB UART"}, {"/dev/ttyACM0", ""}};
    h.recorder.press("pcom2");
    h.dialogs.item_answers = {1};
    h.recorder.press("pcomchoose");
    EXPECT_EQ(h.dialogs.offered_items,
              (std::vector<std::string>{"/dev/ttyUSB0 \xE2\x80\x94 FT232R USB UART", "/dev/ttyACM0"}));
    EXPECT_EQ(h.dialogs.inputs.back().prompt, "Device for COM2:");
    EXPECT_EQ(h.serial.devices, (std::map<int, std::string>{{2, "/dev/ttyACM0"}}));
    EXPECT_TRUE(h.window()["pcom2"].checked);
    EXPECT_EQ(h.window()["pcom2"].tool_tip, "Opens /dev/ttyACM0");
    EXPECT_EQ(read_text(folder.file(kPortMapName)), "COM2=/dev/ttyACM0\n");
    // A cancelled list changes nothing; a USB choice maps COM1 and makes it the link.
    h.recorder.press("pcomchoose");
    EXPECT_EQ(h.serial.devices.size(), 1u);
    h.recorder.press("pusb1");
    h.dialogs.item_answers = {0};
    h.recorder.press("pcomchoose");
    EXPECT_EQ(h.serial.devices[1], "/dev/ttyUSB0");
    EXPECT_TRUE(h.window()["pcom1"].checked);
    EXPECT_EQ(read_text(folder.file(kPortMapName)), "COM1=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n");
    h.connect();  // over the fake line, which names the device but never opens one
    EXPECT_EQ(h.serial.device_path(h.serial.opened_port()), "simulated:/dev/ttyUSB0");
    h.recorder.press("conoff");
    h.serial.offered_ports.clear();
    h.recorder.press("pcomchoose");
    EXPECT_NE(h.dialogs.messages.back().text.find("No serial port was found"), std::string::npos);
  }
  RecorderHarness again(Transport::Serial, folder.path());
  EXPECT_EQ(again.serial.devices,
            (std::map<int, std::string>{{1, "/dev/ttyUSB0"}, {2, "/dev/ttyACM0"}}));
}

}  // namespace
}  // namespace zetra::files
