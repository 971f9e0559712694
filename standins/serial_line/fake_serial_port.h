// A serial port for tests: the modem lines lead to the meter's serial-line responder instead of
// a device. It counts and logs every call, and can be told to fail.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/serial_port.h"
#include "standins/serial_line/serial_line_responder.h"

namespace zetra::standins {

enum class PortOp : uint8_t { kSelect, kOpen, kClose, kSetDtr, kSetRts, kSetBreak, kCts, kDsr, kCd };

struct PortEvent {
  PortOp op;
  int value;   // level set or sampled (0/1), port number for kSelect, 0 otherwise
  bool ok;     // false when the call was refused (closed port, injected failure)
};

class FakeSerialPort final : public platform::SerialPort {
 public:
  explicit FakeSerialPort(SampleSource& source, double interval_s = 0.5);

  // The ports a test lets the system offer, and the devices the recorder mapped COM numbers to.
  std::vector<platform::PortInfo> offered_ports;
  std::vector<platform::PortInfo> available_ports() const override { return offered_ports; }
  void set_device(int port_number, const std::string& device) override;
  std::map<int, std::string> devices;

  void select(int port_number) override;
  int selected() const override { return selected_; }
  // A name that no real device has, so nothing can mistake it for one.
  std::string device_path(int port_number) const override;
  bool open() override;
  void close() override;
  bool is_open() const override { return open_; }
  bool set_dtr(bool high) override;
  bool set_rts(bool high) override;
  bool set_break(bool on) override;
  bool cts() override;
  bool dsr() override;
  bool cd() override;

  SerialLineResponder& responder() { return responder_; }

  // Calls since the last reset_counts(): set_dtr/set_rts/set_break and cts/dsr/cd, refused
  // calls included. reset_counts() also empties the log.
  int line_settings() const { return line_settings_; }
  int line_samples() const { return line_samples_; }
  void reset_counts();
  const std::vector<PortEvent>& log() const { return log_; }
  // The log as text, e.g. "open dtr=1 rts=0 brk=1 cts dsr close"; sampled levels are left out
  // so an expected sequence can be written down before the values are known.
  std::string log_text() const;

  // Failure injection. fail_open: every open() fails until cleared. fail_line_setting(n): the
  // n-th line setting from now (0 = the next one) is refused and leaves the line unchanged.
  void fail_open(bool fail) { fail_open_ = fail; }
  void fail_line_setting(int n) { failing_setting_ = settings_total_ + n; }

  int opened_port() const { return opened_port_; }  // number at the last successful open, 0 if none
  int open_count() const { return open_count_; }

  // Runs after every DSR sample with the number of DSR samples since the last reset_counts();
  // lets a test change a range between the two samples of one tick.
  void after_dsr_sample(std::function<void(int dsr_samples)> hook) { dsr_hook_ = std::move(hook); }
  // Shorthand: after DSR sample number `dsr_samples`, `channel` (0 = CH1) turns to `high`.
  void change_range_after_dsr_sample(int dsr_samples, int channel, bool high);

 private:
  bool setting(PortOp op, bool level);
  bool sample(PortOp op);
  void record(PortOp op, int value, bool ok) { log_.push_back({op, value, ok}); }

  SerialLineResponder responder_;
  int selected_ = 1;
  bool open_ = false;
  bool fail_open_ = false;
  long settings_total_ = 0;     // never reset: anchors fail_line_setting
  long failing_setting_ = -1;
  int line_settings_ = 0;
  int line_samples_ = 0;
  int dsr_samples_ = 0;
  int opened_port_ = 0;
  int open_count_ = 0;
  std::vector<PortEvent> log_;
  std::function<void(int)> dsr_hook_;
};

}  // namespace zetra::standins
