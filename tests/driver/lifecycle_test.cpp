// kvusb's Plug and Play life cycle in the emulation: bare unit, firmware download, re-enumeration,
// configuration, stop, restart and removal; names, capabilities, power and start-up failures.
#include <algorithm>

#include "driver_fixture.h"
#include "firmware_image.h"

namespace kvusb_test {
namespace {

// A device with fixed descriptors, for units the simulated controller cannot play.
class FixedFunction : public emu::UsbFunction {
 public:
  FixedFunction(std::vector<uint8_t> device, std::vector<uint8_t> configuration)
      : device_(std::move(device)), configuration_(std::move(configuration)) {}
  bool descriptor(UCHAR type, UCHAR index, std::vector<uint8_t>* bytes) override {
    if (type == USB_DEVICE_DESCRIPTOR_TYPE) *bytes = device_;
    else if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index == 0) *bytes = configuration_;
    else return false;
    return true;
  }
  USBD_STATUS vendor_out(UCHAR, USHORT, USHORT, const uint8_t*, size_t) override { return USBD_STATUS_SUCCESS; }
  USBD_STATUS bulk_out(UCHAR, const uint8_t*, size_t) override { return USBD_STATUS_SUCCESS; }
  USBD_STATUS bulk_in(UCHAR, uint8_t*, size_t, size_t* n) override {
    *n = 0;
    return USBD_STATUS_SUCCESS;
  }

 private:
  std::vector<uint8_t> device_, configuration_;
};

const std::vector<uint8_t> kNamedDevice = {18, 1, 0, 1, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 0, 1};
const std::vector<uint8_t> kOneBulkInterface = {9, 2, 25, 0, 1, 1, 0, 0x80, 50, 9, 4, 3, 0, 1, 0xFF, 0, 0, 0,
                                                7, 5, 0x81, 2, 64, 0, 0};

// The memory a correct download leaves: every data record written where its address says.
std::vector<uint8_t> image_memory() {
  std::vector<uint8_t> memory(emu::SimulatedController::kMemorySize, 0);
  for (const auto& r : kvusb::kFirmwareImage)
    if (r.type == kvusb::kFirmwareDataRecord) std::copy_n(r.data, r.length & 0xFF, memory.begin() + r.address);
  return memory;
}

TEST_F(DriverTest, BareUnitIsLoadedReenumeratedConfiguredAndRemovedCleanly) {
  int port = plug_unit();
  EXPECT_EQ(bus_->enumerations(port), 2);
  EXPECT_TRUE(controller_->running_firmware());
  EXPECT_FALSE(controller_->cpu_in_reset());
  EXPECT_EQ(controller_->bytes_written(), 3996u);
  EXPECT_EQ(controller_->bytes_rewritten(), 0u);
  EXPECT_EQ(controller_->memory(), image_memory());

  // First enumeration: descriptors, configuration, then CPU held, 310 records, CPU released.
  std::vector<std::string> log = bus_->log();
  auto first_vendor = std::find_if(log.begin(), log.end(), [](auto& l) { return l.rfind("vendor", 0) == 0; });
  ASSERT_NE(first_vendor, log.end());
  EXPECT_EQ(*first_vendor, "vendor a0 7f92 1");
  EXPECT_EQ(count_prefix(log, "vendor a0"), 312);
  EXPECT_LT(std::find(log.begin(), log.end(), "select 1"), first_vendor);
  auto reenumerate = std::find(log.begin(), log.end(), "re-enumerate");
  ASSERT_NE(reenumerate, log.end());
  EXPECT_EQ(*(reenumerate - 1), "vendor a0 7f92 1");  // the release: data byte 0 is not logged, the length is
  EXPECT_EQ(count_prefix(std::vector<std::string>(reenumerate, log.end()), "vendor"), 0)
      << "the running unit names a manufacturer and must not be loaded again";

  // The unit now shows the firmware's identity under the first name, which only the link carries.
  const std::u16string device_name = emu::device_name_of(bus_->function_device(port));
  EXPECT_EQ(emu::symbolic_link_target(u"\\DosDevices\\KVUSB-1"), device_name);
  EXPECT_EQ(device_name.find(u"KVUSB-1"), std::u16string::npos);
  kvusb::DeviceExtension* ext = extension(port);
  ASSERT_NE(ext->device_descriptor, nullptr);
  EXPECT_EQ(ext->device_descriptor->idVendor, 0x3A7E);
  EXPECT_EQ(ext->device_descriptor->idProduct, 0x4100);
  EXPECT_EQ(ext->device_descriptor->iManufacturer, 1);
  ASSERT_NE(ext->interface_information, nullptr);
  EXPECT_EQ(ext->interface_information->NumberOfPipes, 2u);
  EXPECT_EQ(ext->interface_information->Pipes[0].EndpointAddress, 0x82);
  EXPECT_EQ(ext->interface_information->Pipes[1].EndpointAddress, 0x02);
  EXPECT_EQ(ext->interface_information->Pipes[0].MaximumTransferSize, 65535u);
  EXPECT_EQ(ext->pending_count, 1);
  EXPECT_EQ(ext->last_urb_error, 0);

  // Stop unconfigures with the 60/88-byte block (the bus checks the length); a new start configures again.
  bus_->clear_log();
  EXPECT_EQ(bus_->stop(port), STATUS_SUCCESS);
  EXPECT_EQ(bus_->log(), (std::vector<std::string>{"pnp 5", "select none", "pnp 4"}));
  EXPECT_NE(ext->interface_information, nullptr) << "the copy stays after a stop";
  size_t pool_before = emu::outstanding_pool_blocks();
  EXPECT_EQ(bus_->start(port), STATUS_SUCCESS);
  EXPECT_EQ(emu::outstanding_pool_blocks(), pool_before) << "a restart must not leak the earlier copies";

  emu::UserHandle* handle = open(1);
  EXPECT_EQ(ext->open_count, 1);
  emu::close_device(handle);
  EXPECT_EQ(ext->open_count, 0);

  unplug_all_and_check_clean();
  EXPECT_FALSE(emu::device_name_exists(device_name));
  EXPECT_FALSE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-1"));
}

TEST_F(DriverTest, UnitsAreNumberedOneToFourAndAFifthGetsNoDevice) {
  for (int unit = 1; unit <= 4; ++unit) {
    int port = plug_unit();
    EXPECT_EQ(bus_->add_status(port), STATUS_SUCCESS);
    std::u16string link = u"\\DosDevices\\KVUSB-";
    link += static_cast<char16_t>(u'0' + unit);
    EXPECT_TRUE(emu::symbolic_link_exists(link));
  }
  int fifth = plug_unit();
  EXPECT_EQ(bus_->add_status(fifth), STATUS_OBJECT_NAME_COLLISION) << "the last creation failure";
  EXPECT_EQ(bus_->enumerations(fifth), 1);
  EXPECT_EQ(emu::devices_of(driver_).size(), 4u) << "the fifth device object did not stay behind";
  EXPECT_FALSE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-5"));

  // Unplugging unit 2 frees its number for the next unit.
  bus_->unplug(1);
  int again = plug_unit();
  EXPECT_EQ(bus_->add_status(again), STATUS_SUCCESS);
  EXPECT_TRUE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-2"));
  bus_->remove(fifth);
  unplug_all_and_check_clean();
}

TEST_F(DriverTest, TakenLinkNameMovesTheUnitOnWithoutLeavingADevice) {
  ASSERT_EQ(emu::create_foreign_symbolic_link(u"\\DosDevices\\KVUSB-1", u"\\Device\\Elsewhere"), STATUS_SUCCESS);
  int port = plug_unit();
  EXPECT_EQ(bus_->add_status(port), STATUS_SUCCESS);
  EXPECT_EQ(emu::symbolic_link_target(u"\\DosDevices\\KVUSB-2"), emu::device_name_of(bus_->function_device(port)));
  EXPECT_EQ(emu::devices_of(driver_).size(), 1u);
  unplug_all_and_check_clean();
  EXPECT_TRUE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-1")) << "someone else's link stays";
}

TEST_F(DriverTest, FailedAttachDeletesDeviceAndLink) {
  emu::fail_next_attach();
  int port = plug_unit();
  EXPECT_FALSE(NT_SUCCESS(bus_->add_status(port)));
  EXPECT_FALSE(emu::symbolic_link_exists(u"\\DosDevices\\KVUSB-1"));
  EXPECT_TRUE(emu::devices_of(driver_).empty());
  bus_->remove(port);
}

TEST_F(DriverTest, UnitWithManufacturerStringIsConfiguredWithoutDownload) {
  int port = bus_->plug(std::make_shared<FixedFunction>(kNamedDevice, kOneBulkInterface));
  EXPECT_EQ(bus_->start_status(port), STATUS_SUCCESS);
  EXPECT_EQ(count_prefix(bus_->log(), "vendor"), 0);
  EXPECT_EQ(bus_->enumerations(port), 1);
  ASSERT_NE(extension(port)->interface_information, nullptr);
  EXPECT_EQ(extension(port)->interface_information->InterfaceNumber, 3) << "the first interface, whatever its number";
  unplug_all_and_check_clean();
}

TEST_F(DriverTest, StartFailuresLeaveTheUnitUnconfigured) {
  // Configuration without any interface.
  int port = bus_->plug(std::make_shared<FixedFunction>(kNamedDevice, std::vector<uint8_t>{9, 2, 9, 0, 0, 1, 0, 0x80, 50}));
  EXPECT_EQ(bus_->start_status(port), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(extension(port)->interface_information, nullptr);

  // Device descriptor read stalls: no copy is kept and the block's status is remembered.
  bus_->refuse(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, STATUS_SUCCESS, USBD_STATUS_STALL_PID);
  int second = plug_unit();
  EXPECT_EQ(bus_->start_status(second), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(extension(second)->device_descriptor, nullptr);
  EXPECT_EQ(extension(second)->last_urb_error, USBD_STATUS_STALL_PID);
  emu::UserHandle* handle = open(2);
  ULONG returned = 0;
  uint8_t frame[4];
  EXPECT_EQ(control(handle, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_UNSUCCESSFUL)
      << "an unconfigured unit refuses every code";
  emu::close_device(handle);

  // Either configuration descriptor read failing fails the start (second read: skip the first two).
  for (int skip : {1, 2}) {
    bus_->refuse(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, STATUS_UNSUCCESSFUL, USBD_STATUS_DEV_NOT_RESPONDING, 1, skip);
    int p = plug_unit();
    EXPECT_EQ(bus_->start_status(p), STATUS_UNSUCCESSFUL) << skip;
    EXPECT_EQ(extension(p)->interface_information, nullptr) << skip;
    EXPECT_FALSE(controller_->running_firmware());
    bus_->unplug(p);
  }

  // The bus refusing the start itself: start-up does not run.
  bus_->refuse_start(STATUS_NOT_SUPPORTED);
  bus_->clear_log();
  int refused = plug_unit();
  EXPECT_EQ(bus_->start_status(refused), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(count_prefix(bus_->log(), "descriptor"), 0);
  unplug_all_and_check_clean();
}

// A unit whose configuration descriptor changes between the two reads: the answers in turn.
class ChangingFunction : public FixedFunction {
 public:
  ChangingFunction(std::vector<uint8_t> device, std::vector<std::vector<uint8_t>> answers)
      : FixedFunction(std::move(device), answers.front()), answers_(std::move(answers)) {}
  bool descriptor(UCHAR type, UCHAR index, std::vector<uint8_t>* bytes) override {
    if (type != USB_CONFIGURATION_DESCRIPTOR_TYPE) return FixedFunction::descriptor(type, index, bytes);
    *bytes = answers_[std::min(next_++, answers_.size() - 1)];
    return true;
  }

 private:
  std::vector<std::vector<uint8_t>> answers_;
  size_t next_ = 0;
};

std::vector<uint8_t> with_total(std::vector<uint8_t> configuration, uint16_t total, size_t size) {
  configuration.resize(size, 0);
  configuration[2] = static_cast<uint8_t>(total);
  configuration[3] = static_cast<uint8_t>(total >> 8);
  return configuration;
}

// Every length a unit reports is checked before anything is parsed; a lying unit is not started.
TEST_F(DriverTest, LyingDescriptorsAreRefusedBeforeParsing) {
  std::vector<uint8_t> short_endpoint = kOneBulkInterface;
  short_endpoint[18] = 3;
  std::vector<uint8_t> empty_interface = kOneBulkInterface;
  empty_interface[9] = 0;
  std::vector<uint8_t> missing_endpoint = kOneBulkInterface;
  missing_endpoint[13] = 2;  // the interface claims two endpoints, one follows
  std::vector<uint8_t> bad_device = kNamedDevice;
  bad_device[0] = 12;
  std::vector<uint8_t> overlong_last = kOneBulkInterface;
  overlong_last[18] = 8;  // the last endpoint claims 8 bytes where 7 remain
  struct Case {
    const char* what;
    std::vector<uint8_t> device;
    std::vector<std::vector<uint8_t>> answers;
  };
  const Case cases[] = {
      {"9 bytes announced, then 65", kNamedDevice, {with_total(kOneBulkInterface, 9, 9), with_total(kOneBulkInterface, 65, 65)}},
      {"total shrinks on the second read", kNamedDevice, {kOneBulkInterface, with_total(kOneBulkInterface, 18, 18)}},
      {"fewer bytes than announced", kNamedDevice, {kOneBulkInterface, std::vector<uint8_t>(kOneBulkInterface.begin(), kOneBulkInterface.begin() + 20)}},
      {"total below a configuration descriptor", kNamedDevice, {with_total(kOneBulkInterface, 4, 25)}},
      {"endpoint descriptor too short", kNamedDevice, {short_endpoint}},
      {"interface of length 0", kNamedDevice, {empty_interface}},
      {"endpoint missing", kNamedDevice, {missing_endpoint}},
      {"device descriptor length wrong", bad_device, {kOneBulkInterface}},
      {"last descriptor claims more bytes than remain", kNamedDevice, {overlong_last}},
  };
  for (const Case& c : cases) {
    int port = bus_->plug(std::make_shared<ChangingFunction>(c.device, c.answers));
    EXPECT_EQ(bus_->start_status(port), STATUS_DEVICE_DATA_ERROR) << c.what;
    EXPECT_EQ(extension(port)->interface_information, nullptr) << c.what;
    EXPECT_EQ(count_prefix(bus_->log(), "select 1"), 0) << c.what;
    bus_->unplug(port);
  }
  // The honest unit is configured.
  int port = bus_->plug(std::make_shared<ChangingFunction>(kNamedDevice, std::vector<std::vector<uint8_t>>{kOneBulkInterface}));
  EXPECT_EQ(bus_->start_status(port), STATUS_SUCCESS);
  unplug_all_and_check_clean();
}

TEST_F(DriverTest, FailedRecordStopsTheDownloadWithTheCpuHeld) {
  bus_->refuse(URB_FUNCTION_VENDOR_DEVICE, STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID, 1, 5);
  int port = plug_unit();
  EXPECT_EQ(bus_->start_status(port), STATUS_SUCCESS) << "the download's outcome does not change the start";
  EXPECT_EQ(count_prefix(bus_->log(), "vendor"), 5);
  EXPECT_TRUE(controller_->cpu_in_reset());
  EXPECT_FALSE(controller_->running_firmware());
  EXPECT_EQ(bus_->enumerations(port), 1);
  unplug_all_and_check_clean();
}

TEST_F(DriverTest, CapabilitiesAndPowerArePassedDown) {
  int port = plug_unit();
  DEVICE_CAPABILITIES caps;
  EXPECT_EQ(bus_->query_capabilities(port, 1, &caps), STATUS_SUCCESS);
  EXPECT_EQ(caps.SurpriseRemovalOK, 1u);
  EXPECT_EQ(caps.Removable, 1u) << "the bus's answer comes back";
  EXPECT_EQ(bus_->query_capabilities(port, 0, &caps), STATUS_SUCCESS);
  EXPECT_EQ(caps.SurpriseRemovalOK, 0u) << "version 0 is only passed down";
  EXPECT_EQ(caps.Removable, 1u);

  for (UCHAR minor : {IRP_MN_SET_POWER, IRP_MN_QUERY_POWER}) {
    int start_next = 0;
    EXPECT_EQ(bus_->power(port, minor, &start_next), STATUS_SUCCESS);
    EXPECT_EQ(start_next, 2) << "the driver and the bus each let the next power request start";
  }
  EXPECT_EQ(bus_->pnp(port, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS) << "other codes go down unchanged";
  EXPECT_EQ(bus_->pnp(port, 0x0B), STATUS_NOT_SUPPORTED) << "what nobody handles keeps its status";
  EXPECT_EQ(extension(port)->pending_count, 1);
  unplug_all_and_check_clean();
}

// Driver Verifier's force pending: the bus pends every request, Plug and Play, power and
// instrumentation included, and completes it on its own thread. Every pending mark must still reach
// the top (the emulation checks it for each request) and every answer come back as without it.
TEST_F(DriverTest, EverythingWorksWhenTheBusPendsEveryRequest) {
  bus_->force_pending(true);
  int port = plug_unit();
  EXPECT_EQ(bus_->enumerations(port), 2);
  EXPECT_TRUE(controller_->running_firmware());
  DEVICE_CAPABILITIES caps;
  EXPECT_EQ(bus_->query_capabilities(port, 1, &caps), STATUS_SUCCESS);
  EXPECT_EQ(caps.SurpriseRemovalOK, 1u);
  EXPECT_EQ(bus_->query_capabilities(port, 0, &caps), STATUS_SUCCESS);
  for (UCHAR minor : {IRP_MN_SET_POWER, IRP_MN_QUERY_POWER}) {
    int start_next = 0;
    EXPECT_EQ(bus_->power(port, minor, &start_next), STATUS_SUCCESS);
    EXPECT_EQ(start_next, 2);
    EXPECT_EQ(bus_->power(port, minor, nullptr, SystemPowerState, PowerSystemWorking), STATUS_SUCCESS);
  }
  EXPECT_EQ(bus_->system_control(port), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(bus_->pnp(port, 0x0B), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(bus_->stop(port), STATUS_SUCCESS);
  EXPECT_EQ(bus_->start(port), STATUS_SUCCESS);

  emu::UserHandle* handle = open(1);
  std::vector<uint8_t> data(40, 0x6B), in(40, 0);
  ULONG returned = 0;
  EXPECT_EQ(control(handle, kvusb::kIoctlTransferInDirect, {1}, data.data(), 40, &returned), STATUS_SUCCESS);
  EXPECT_EQ(control(handle, kvusb::kIoctlTransferOutDirect, {0}, in.data(), 40, &returned), STATUS_SUCCESS);
  EXPECT_EQ(in, data);
  uint8_t frame[4];
  EXPECT_EQ(control(handle, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_SUCCESS);
  EXPECT_EQ(control(handle, kvusb::kIoctlResetPipe, {0}, nullptr, 0, &returned), STATUS_SUCCESS);
  emu::close_device(handle);
  EXPECT_EQ(bus_->remove(port), STATUS_SUCCESS);
  unplug_all_and_check_clean();
}

// Across sleep or hibernation the unit loses power and its firmware and is the bare loader again on
// waking: the old device is gone and the loader arrives as a new one, which the driver loads. Handles
// opened before fail cleanly (a read waiting through the sleep ends; later requests are refused),
// and opening KVUSB-1 again reaches the unit.
TEST_F(DriverTest, AfterSleepTheUnitIsBackAsKvusb1AndOldHandlesFailCleanly) {
  for (SYSTEM_POWER_STATE sleep : {PowerSystemSleeping3, PowerSystemHibernate}) {
    int port = plug_unit();
    emu::UserHandle* before = open(1);
    Reader reader(before, 8);
    ASSERT_TRUE(wait_until_parked(*bus_, port, 1));
    bus_->clear_log();
    int woken = bus_->sleep_and_wake(port, sleep);
    reader.join();
    EXPECT_EQ(reader.status.load(), STATUS_UNSUCCESSFUL) << "0 bytes";
    EXPECT_NE(woken, port) << "the loader is a new arrival";
    EXPECT_TRUE(controller_->running_firmware()) << "loaded again";
    std::vector<std::string> log = bus_->log();
    EXPECT_LT(std::find(log.begin(), log.end(), "power 2"), std::find(log.begin(), log.end(), "power lost"));
    EXPECT_EQ(count_prefix(log, "vendor a0"), 312);

    uint8_t frame[4];
    ULONG returned = 0;
    EXPECT_EQ(control(before, kvusb::kIoctlGetFrameNumber, {}, frame, 4, &returned), STATUS_DELETE_PENDING);
    EXPECT_EQ(control(before, kvusb::kIoctlTransferOutDirect, {0}, frame, 4, &returned), STATUS_DELETE_PENDING);
    emu::UserHandle* after = open(1);
    ASSERT_NE(after, nullptr);
    std::vector<uint8_t> data(8, 0x71), in(8, 0);
    EXPECT_EQ(control(after, kvusb::kIoctlTransferOutDirect, {1}, data.data(), 8, &returned), STATUS_SUCCESS);
    EXPECT_EQ(control(after, kvusb::kIoctlTransferOutDirect, {0}, in.data(), 8, &returned), STATUS_SUCCESS);
    EXPECT_EQ(in, data);
    emu::close_device(before);
    EXPECT_EQ(bus_->finish_removal(port), STATUS_SUCCESS) << "the remove follows the last handle";
    emu::close_device(after);
    unplug_all_and_check_clean();
  }
}

TEST_F(DriverTest, LifeCycleWithCompletionOnAnotherThread) {
  bus_->complete_on_worker(true);
  int port = plug_unit();
  EXPECT_EQ(bus_->enumerations(port), 2);
  EXPECT_TRUE(controller_->running_firmware());
  DEVICE_CAPABILITIES caps;
  EXPECT_EQ(bus_->query_capabilities(port, 1, &caps), STATUS_SUCCESS);
  EXPECT_EQ(caps.SurpriseRemovalOK, 1u);
  EXPECT_EQ(bus_->stop(port), STATUS_SUCCESS);
  EXPECT_EQ(bus_->start(port), STATUS_SUCCESS);
  unplug_all_and_check_clean();
}

}  // namespace
}  // namespace kvusb_test
