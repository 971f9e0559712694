// A simulated USB bus driver with the Plug and Play manager's part: it owns one physical device
// object per plugged device, loads the function driver on top, serves request blocks from the
// device model, and re-enumerates a device that detached to come back as another.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel_emulation/emulation.h"

namespace emu {

// What an endpoint answers a bulk IN with when it has nothing to send: it NAKs, and the bus keeps
// the request pending until data arrive, the pipe is aborted or reset, or the request is cancelled.
constexpr USBD_STATUS kNak = 0x40000001;

// What a device answers on the bus; the bus turns request blocks into these calls.
class UsbFunction {
 public:
  virtual ~UsbFunction() = default;
  // The descriptor of a type and index, or false when the device stalls the request.
  virtual bool descriptor(UCHAR type, UCHAR index, std::vector<uint8_t>* bytes) = 0;
  virtual USBD_STATUS vendor_out(UCHAR request, USHORT value, USHORT index, const uint8_t* data, size_t length) = 0;
  virtual USBD_STATUS bulk_out(UCHAR endpoint, const uint8_t* data, size_t length) = 0;
  virtual USBD_STATUS bulk_in(UCHAR endpoint, uint8_t* data, size_t capacity, size_t* transferred) = 0;
  // True once after the device left the bus to come back with other descriptors.
  virtual bool take_reenumeration() { return false; }
  // The port lost power (the system slept or hibernated): whatever the device held in RAM is gone.
  virtual void power_lost() {}
};

class UsbBus {
 public:
  explicit UsbBus(PDRIVER_OBJECT function_driver);
  ~UsbBus();
  UsbBus(const UsbBus&) = delete;
  UsbBus& operator=(const UsbBus&) = delete;

  // Enumerates a device: PDO, the driver's add-device, an upper filter, start; then serves
  // re-enumerations.
  int plug(std::shared_ptr<UsbFunction> function);
  NTSTATUS start(int port);
  NTSTATUS stop(int port);     // query-stop, then stop; a refused query is cancelled
  NTSTATUS remove(int port);   // query-remove, then remove and the PDO goes; a refused query is cancelled
  NTSTATUS unplug(int port);   // surprise removal, remove request, then the PDO goes
  // The device leaves the bus: the bus ends the reads it holds for it (device gone), as the hardware
  // does at once, then surprise removal. The remove request follows with finish_removal, which Plug
  // and Play sends once the last handle is closed.
  NTSTATUS surprise_remove(int port);
  // The system sleeps (S3) or hibernates (S4) and wakes again. The port loses power, so the device
  // loses what it held in RAM; on waking the hub compares the device descriptor, and a device that
  // changed is reported gone (surprise removal) and enumerated anew on another port, whose number
  // is returned (the same port when nothing changed).
  int sleep_and_wake(int port, SYSTEM_POWER_STATE sleep_state);
  NTSTATUS finish_removal(int port);
  NTSTATUS pnp(int port, UCHAR minor);
  NTSTATUS system_control(int port);
  NTSTATUS query_capabilities(int port, USHORT version, DEVICE_CAPABILITIES* capabilities);
  // Sends a power request (device power D0 unless told otherwise); reports how often
  // PoStartNextPowerIrp was called for it.
  NTSTATUS power(int port, UCHAR minor, int* start_next_calls, POWER_STATE_TYPE type = DevicePowerState,
                 ULONG state = PowerDeviceD0);
  void settle();

  int port_count() const;
  bool present(int port) const;
  PDEVICE_OBJECT pdo(int port) const;
  PDEVICE_OBJECT top(int port) const;
  PDEVICE_OBJECT function_device(int port) const;  // the function driver's device, below the filter
  size_t pending_in(int port) const;                // bulk INs the bus holds pending (NAKed)
  NTSTATUS add_status(int port) const;
  NTSTATUS start_status(int port) const;
  int enumerations(int port) const;

  // Request blocks (and start and capabilities) complete later on the bus's own thread instead of
  // inside IoCallDriver.
  void complete_on_worker(bool on);
  // Driver Verifier's force pending: every request the bus gets (request blocks, every Plug and Play
  // request, power, system control) is marked pending and completed later on the bus's thread.
  void force_pending(bool on);
  // While on, bulk transfers reaching the bus's thread stay on the wire untouched (aborts do not end
  // them), and bulk transfers the bus ends (a parked read getting data, aborted or released) are
  // completed only once it is off again: an abort then completes before the reads it ended.
  void hold_bulk(bool on);
  bool wait_for_held_bulk(int count);
  // Runs `hook` once, just before the bus completes the next read that got data (a test cancels
  // the read at exactly that moment).
  void before_completing_data(std::function<void()> hook);
  // After `skip` more request blocks of a function went through, the next `count` fail with these
  // statuses (count -1: all of them).
  void refuse(USHORT urb_function, NTSTATUS call_status, USBD_STATUS urb_status, int count = 1, int skip = 0);
  void refuse_start(NTSTATUS status);
  void set_frame_number(ULONG frame);
  // One line per request block and PnP request seen, in order ("urb 17 a0 7f92 1", "pnp 2").
  std::vector<std::string> log() const;
  void clear_log();

  struct Port;
  struct Pipe;

 private:
  static NTSTATUS NTAPI dispatch_internal(PDEVICE_OBJECT device, PIRP irp);
  static NTSTATUS NTAPI dispatch_pnp(PDEVICE_OBJECT device, PIRP irp);
  static NTSTATUS NTAPI dispatch_power(PDEVICE_OBJECT device, PIRP irp);
  static NTSTATUS NTAPI dispatch_other(PDEVICE_OBJECT device, PIRP irp);

  void enumerate(int port);
  void delete_pdo(int port);
  NTSTATUS send_pnp(int port, UCHAR minor, DEVICE_CAPABILITIES* capabilities);
  NTSTATUS process_urb(Port& port, PURB urb);
  NTSTATUS select_configuration(Port& port, PURB urb);
  NTSTATUS descriptor_request(Port& port, PURB urb);
  NTSTATUS vendor_request(Port& port, PURB urb);
  NTSTATUS bulk_transfer(Port& port, PURB urb);
  void park(Port& port, PIRP irp);
  void serve_parked(Port& port);
  void release_parked(Port& port, PVOID pipe, USBD_STATUS status);
  void complete_ready();
  void check_nothing_left_at_remove(Port& port);
  static VOID NTAPI cancel_parked(PDEVICE_OBJECT device, PIRP irp);
  Pipe* find_pipe(Port& port, USBD_PIPE_HANDLE handle);
  bool take_refusal(USHORT function, NTSTATUS* call, USBD_STATUS* urb);
  void complete_later(PIRP irp);
  void worker_loop();
  void note(const std::string& line);

  PDRIVER_OBJECT function_driver_;
  DRIVER_OBJECT bus_driver_{};
  std::mutex process_mutex_;  // serialises request blocks: the device models see one bus
  mutable std::mutex mutex_;  // guards ports_, the queue, the flags and the log below
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Port>> ports_;
  std::deque<PIRP> queue_;
  std::vector<PIRP> ready_;  // parked requests ended by data, an abort or a reset; completed outside the locks
  std::vector<PIRP> held_;   // bulk transfers on the wire while hold_ is on
  std::vector<std::string> log_;
  std::vector<int> reenumerate_;
  struct Refusal {
    USHORT function;
    NTSTATUS call;
    USBD_STATUS urb;
    int count;
    int skip;
  };
  std::vector<Refusal> refusals_;
  NTSTATUS start_refusal_ = STATUS_SUCCESS;
  bool worker_mode_ = false;
  bool force_pending_ = false;
  bool hold_ = false;
  std::function<void()> before_data_;
  bool stopping_ = false;
  ULONG frame_ = 1000;
  bool frame_fixed_ = false;
  std::thread worker_;
};

}  // namespace emu
