// Properties of the firmware table, the descriptors its image carries, and how the simulated
// controller shows a correct and a faulty download.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "firmware_image.h"
#include "kernel_emulation/simulated_controller.h"

namespace {

using kvusb::kFirmwareImage;

std::vector<uint8_t> apply(const std::vector<int>& skip = {}) {
  std::vector<uint8_t> memory(0x2000, 0);
  for (int i = 0; i < kvusb::kFirmwareRecordCount; ++i) {
    const auto& r = kFirmwareImage[i];
    if (r.type != kvusb::kFirmwareDataRecord || std::count(skip.begin(), skip.end(), i)) continue;
    std::copy_n(r.data, r.length & 0xFF, memory.begin() + r.address);
  }
  return memory;
}

TEST(FirmwareImage, RecordsCoverTheImageOnceAndOutOfOrder) {
  std::vector<int> writes(0x10000, 0);
  int data_records = 0;
  bool ascending = true;
  int previous = -1;
  for (int i = 0; i < kvusb::kFirmwareRecordCount - 1; ++i) {
    const auto& r = kFirmwareImage[i];
    ASSERT_EQ(r.type, kvusb::kFirmwareDataRecord) << i;
    ASSERT_GE(r.length, 1) << i;
    ASSERT_LE(r.length, 16) << i;
    EXPECT_EQ(r.padding, 0) << i;
    for (int b = r.length; b < 16; ++b) EXPECT_EQ(r.data[b], 0) << "unused bytes are 0, record " << i;
    for (int a = r.address; a < r.address + r.length; ++a) writes[a]++;
    ascending = ascending && r.address > previous;
    previous = r.address;
    ++data_records;
  }
  const auto& end = kFirmwareImage[kvusb::kFirmwareRecordCount - 1];
  EXPECT_EQ(end.type, kvusb::kFirmwareEndRecord);
  EXPECT_EQ(end.length, 0);
  EXPECT_EQ(end.address, 0);
  EXPECT_EQ(data_records, 310);
  EXPECT_FALSE(ascending);
  EXPECT_EQ(std::count(writes.begin(), writes.end(), 1), 3996);
  EXPECT_EQ(std::count_if(writes.begin(), writes.end(), [](int w) { return w > 1; }), 0) << "no byte written twice";
  EXPECT_EQ(writes[0x0000], 1);
  EXPECT_EQ(writes[0x1094], 1);
  EXPECT_TRUE(std::all_of(writes.begin() + 0x1095, writes.end(), [](int w) { return w == 0; }));
}

TEST(FirmwareImage, CarriesTheUnitsDescriptors) {
  std::vector<uint8_t> m = apply();
  size_t at = m[3] | (m[4] << 8);
  ASSERT_LT(at + 18 + 32, m.size());
  const uint8_t* d = &m[at];
  EXPECT_EQ(d[0], 18);
  EXPECT_EQ(d[1], 1);
  EXPECT_EQ(d[2] | (d[3] << 8), 0x0100) << "USB 1.00";
  EXPECT_EQ(d[4], 0) << "device class";
  EXPECT_EQ(d[7], 64) << "endpoint-0 packet size";
  EXPECT_EQ(d[14], 1) << "manufacturer string";
  EXPECT_EQ(d[15], 2) << "product string";
  EXPECT_EQ(d[16], 0) << "no serial number";
  EXPECT_EQ(d[17], 1) << "one configuration";
  const uint8_t* c = d + 18;
  const std::vector<uint8_t> configuration(c, c + 32);
  EXPECT_EQ(configuration, (std::vector<uint8_t>{9, 2, 32, 0, 1, 1, 0, 0xA0, 48,  // bus-powered, remote wake-up, 96 mA
                                                 9, 4, 0, 0, 2, 0xFF, 0, 0, 0,    // interface 0, vendor-specific
                                                 7, 5, 0x82, 2, 64, 0, 0,         // bulk in
                                                 7, 5, 0x02, 2, 64, 0, 0}));      // bulk out
  const uint8_t* s = c + 32;
  for (int index = 0; index < 3; ++index) {
    EXPECT_EQ(s[1], 3) << "string " << index;
    EXPECT_GE(s[0], 4) << "string " << index;
    s += s[0];
  }
  EXPECT_EQ(static_cast<size_t>(s - m.data()), 0x1095u) << "the descriptor table ends the image";
}

TEST(FirmwareImage, ControllerShowsWhatWasDownloaded) {
  // Loads the image record by record as the driver does, optionally leaving one record out.
  auto download = [](int left_out) {
    auto controller = std::make_shared<emu::SimulatedController>(std::make_shared<emu::LoopbackEndpoints>());
    const uint8_t hold = 1, run = 0;
    EXPECT_EQ(controller->vendor_out(0xA0, 0x7F92, 0, &hold, 1), USBD_STATUS_SUCCESS);
    for (int i = 0; kFirmwareImage[i].type == kvusb::kFirmwareDataRecord; ++i)
      if (i != left_out) {
        EXPECT_EQ(controller->vendor_out(0xA0, kFirmwareImage[i].address, 0, kFirmwareImage[i].data,
                                         kFirmwareImage[i].length),
                  USBD_STATUS_SUCCESS);
      }
    EXPECT_EQ(controller->vendor_out(0xA0, 0x7F92, 0, &run, 1), USBD_STATUS_SUCCESS);
    EXPECT_TRUE(controller->take_reenumeration());
    return controller;
  };
  auto good = download(-1);
  std::vector<uint8_t> device;
  ASSERT_TRUE(good->descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0, &device));
  EXPECT_EQ(device[8] | (device[9] << 8), 0x3A7E);
  EXPECT_EQ(device[10] | (device[11] << 8), 0x4100);

  // The record holding the descriptor table's address missing: no device comes back.
  int pointer_record = -1;
  for (int i = 0; i < 310; ++i)
    if (kFirmwareImage[i].address <= 3 && kFirmwareImage[i].address + kFirmwareImage[i].length > 3) pointer_record = i;
  ASSERT_GE(pointer_record, 0);
  auto broken = download(pointer_record);
  EXPECT_FALSE(broken->running_firmware());

  // Memory writes need the CPU held, as the loader requires.
  auto fresh = std::make_shared<emu::SimulatedController>(std::make_shared<emu::LoopbackEndpoints>());
  const uint8_t byte = 0x55;
  EXPECT_EQ(fresh->vendor_out(0xA0, 0x0100, 0, &byte, 1), USBD_STATUS_STALL_PID);
}

}  // namespace
