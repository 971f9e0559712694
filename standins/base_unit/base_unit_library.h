// The device library in-process, over simulated base units 1..4, for tests of the recorder's
// USB path: it logs every call in order and can be told to fail.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_library.h"
#include "standins/base_unit/simulated_base_unit.h"
#include "standins/meter/meter_model.h"

namespace zetra::standins {

// One call as the program made it: the library function's name ("load" for loading) and its
// arguments; for KV_USRRead the status byte handed back is logged as a second argument.
struct LibraryCall {
  std::string function;
  std::vector<int64_t> args;

  std::string text() const;  // e.g. "KV_WriteWord(1, 0, 3)"
};

// Results follow the library's convention: nonzero = success, 0 = failure. A unit answers only
// between KV_OpenDevice and KV_CloseDevice; calls to a closed or unknown unit return 0 and leave
// their output arguments untouched.
class BaseUnitLibrary final : public platform::DeviceLibrary {
 public:
  // Units 1..4 each get a meter model seeded with seed + unit number.
  explicit BaseUnitLibrary(uint64_t seed = 1, double interval_s = 0.5);

  bool load() override;
  std::string load_error() const override { return fail_load_ ? load_error_ : std::string(); }
  int32_t open_device(uint8_t dev_no) override;
  int32_t close_device(uint8_t dev_no) override;
  int32_t usr_config(uint8_t dev_no, uint8_t& config) override;
  int32_t write_word(uint8_t dev_no, uint8_t address, int32_t& value) override;
  int32_t usr_read(uint8_t dev_no, uint8_t& status) override;
  int32_t read_block(uint8_t dev_no, uint8_t address, uint8_t count, int32_t* words) override;

  SimulatedBaseUnit& unit(uint8_t dev_no) { return slot(dev_no).unit; }
  MeterModel& model(uint8_t dev_no) { return slot(dev_no).model; }
  // Puts another meter (a ScriptedMeter, say) behind a unit; the library does not own it.
  void use_source(uint8_t dev_no, SampleSource& source) { unit(dev_no).set_source(source); }
  bool is_open(uint8_t dev_no) const;

  const std::vector<LibraryCall>& calls() const { return calls_; }
  std::vector<std::string> call_texts() const;
  int count_calls(std::string_view function) const;
  void clear_calls() { calls_.clear(); }

  // Failure injection, each until cleared.
  // A failing load reports `reason` as its load_error().
  void fail_load(bool fail, std::string reason = {}) {
    fail_load_ = fail;
    load_error_ = std::move(reason);
  }
  void fail_open(bool fail) { fail_open_ = fail; }             // KV_OpenDevice returns 0
  void fill_nothing_on_read(bool fill_nothing) { fill_nothing_ = fill_nothing; }  // KV_ReadBlock

 private:
  struct Slot {
    Slot(uint64_t seed, double interval_s) : model(seed), unit(model, interval_s) {}
    MeterModel model;
    SimulatedBaseUnit unit;
    bool open = false;
  };

  static bool known(uint8_t dev_no) { return dev_no >= 1 && dev_no <= 4; }
  Slot& slot(uint8_t dev_no);
  SimulatedBaseUnit* open_unit(uint8_t dev_no);
  void log(std::string function, std::vector<int64_t> args);

  std::array<std::unique_ptr<Slot>, 4> slots_;
  std::vector<LibraryCall> calls_;
  bool fail_load_ = false;
  std::string load_error_;
  bool fail_open_ = false;
  bool fill_nothing_ = false;
};

}  // namespace zetra::standins
