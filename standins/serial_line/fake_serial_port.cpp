// A serial port for tests whose modem lines lead to the meter's serial-line responder.
#include "standins/serial_line/fake_serial_port.h"

namespace zetra::standins {

namespace {

const char* op_name(PortOp op) {
  switch (op) {
    case PortOp::kSelect: return "select";
    case PortOp::kOpen: return "open";
    case PortOp::kClose: return "close";
    case PortOp::kSetDtr: return "dtr";
    case PortOp::kSetRts: return "rts";
    case PortOp::kSetBreak: return "brk";
    case PortOp::kCts: return "cts";
    case PortOp::kDsr: return "dsr";
    case PortOp::kCd: return "cd";
  }
  return "?";
}

bool is_setting(PortOp op) {
  return op == PortOp::kSetDtr || op == PortOp::kSetRts || op == PortOp::kSetBreak;
}

}  // namespace

FakeSerialPort::FakeSerialPort(SampleSource& source, double interval_s)
    : responder_(source, interval_s) {}

void FakeSerialPort::select(int port_number) {
  selected_ = port_number;
  record(PortOp::kSelect, port_number, true);
}

void FakeSerialPort::set_device(int port_number, const std::string& device) {
  if (device.empty()) {
    devices.erase(port_number);
  } else {
    devices[port_number] = device;
  }
}

// A mapped device is only named: the fake never opens anything real.
std::string FakeSerialPort::device_path(int port_number) const {
  const auto mapped = devices.find(port_number);
  if (mapped != devices.end()) return "simulated:" + mapped->second;
  return "simulated:COM" + std::to_string(port_number);
}

bool FakeSerialPort::open() {
  const bool ok = !open_ && !fail_open_;
  record(PortOp::kOpen, selected_, ok);
  if (!ok) return false;
  open_ = true;
  opened_port_ = selected_;
  ++open_count_;
  return true;
}

void FakeSerialPort::close() {
  record(PortOp::kClose, 0, open_);
  if (open_) responder_.lines_dropped();
  open_ = false;
}

bool FakeSerialPort::set_dtr(bool high) { return setting(PortOp::kSetDtr, high); }
bool FakeSerialPort::set_rts(bool high) { return setting(PortOp::kSetRts, high); }
bool FakeSerialPort::set_break(bool on) { return setting(PortOp::kSetBreak, on); }
bool FakeSerialPort::cts() { return sample(PortOp::kCts); }
bool FakeSerialPort::cd() { return sample(PortOp::kCd); }

bool FakeSerialPort::dsr() {
  const bool level = sample(PortOp::kDsr);
  ++dsr_samples_;
  if (dsr_hook_) dsr_hook_(dsr_samples_);
  return level;
}

void FakeSerialPort::reset_counts() {
  line_settings_ = line_samples_ = dsr_samples_ = 0;
  log_.clear();
}

std::string FakeSerialPort::log_text() const {
  std::string text;
  for (const PortEvent& e : log_) {
    if (!text.empty()) text += ' ';
    text += op_name(e.op);
    if (is_setting(e.op)) text += e.value ? "=1" : "=0";
  }
  return text;
}

void FakeSerialPort::change_range_after_dsr_sample(int dsr_samples, int channel, bool high) {
  after_dsr_sample([this, dsr_samples, channel, high](int n) {
    if (n == dsr_samples) responder_.set_high_range(channel, high);
  });
}

bool FakeSerialPort::setting(PortOp op, bool level) {
  ++line_settings_;
  const bool ok = open_ && settings_total_ != failing_setting_;
  ++settings_total_;
  record(op, level, ok);
  if (!ok) return false;
  if (op == PortOp::kSetDtr) responder_.set_dtr(level);
  if (op == PortOp::kSetRts) responder_.set_rts(level);
  if (op == PortOp::kSetBreak) responder_.set_break(level);
  return true;
}

bool FakeSerialPort::sample(PortOp op) {
  ++line_samples_;
  bool level = false;
  if (open_) {
    if (op == PortOp::kCts) level = responder_.cts();
    if (op == PortOp::kCd) level = responder_.cd();
    if (op == PortOp::kDsr) level = responder_.dsr();
  }
  record(op, level, open_);
  return level;
}

}  // namespace zetra::standins
