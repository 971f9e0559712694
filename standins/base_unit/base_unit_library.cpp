// The device library in-process over simulated base units 1..4.
#include "standins/base_unit/base_unit_library.h"

#include <algorithm>
#include <stdexcept>

namespace zetra::standins {

std::string LibraryCall::text() const {
  std::string out = function + "(";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(args[i]);
  }
  return out + ")";
}

BaseUnitLibrary::BaseUnitLibrary(uint64_t seed, double interval_s) {
  for (int i = 0; i < 4; ++i) slots_[i] = std::make_unique<Slot>(seed + i + 1, interval_s);
}

bool BaseUnitLibrary::load() {
  log("load", {});
  return !fail_load_;
}

int32_t BaseUnitLibrary::open_device(uint8_t dev_no) {
  log("KV_OpenDevice", {dev_no});
  if (!known(dev_no) || fail_open_) return 0;
  slot(dev_no).open = true;
  return 1;
}

int32_t BaseUnitLibrary::close_device(uint8_t dev_no) {
  log("KV_CloseDevice", {dev_no});
  if (!open_unit(dev_no)) return 0;
  slot(dev_no).open = false;
  return 1;
}

int32_t BaseUnitLibrary::usr_config(uint8_t dev_no, uint8_t& config) {
  log("KV_USRConfig", {dev_no, config});
  SimulatedBaseUnit* unit = open_unit(dev_no);
  if (!unit) return 0;
  unit->configure(config);
  return 1;
}

int32_t BaseUnitLibrary::write_word(uint8_t dev_no, uint8_t address, int32_t& value) {
  log("KV_WriteWord", {dev_no, address, value});
  SimulatedBaseUnit* unit = open_unit(dev_no);
  if (!unit) return 0;
  unit->write_word(address, value);
  return 1;
}

int32_t BaseUnitLibrary::usr_read(uint8_t dev_no, uint8_t& status) {
  SimulatedBaseUnit* unit = open_unit(dev_no);
  if (!unit) {
    log("KV_USRRead", {dev_no});
    return 0;
  }
  status = unit->status();
  log("KV_USRRead", {dev_no, status});
  return 1;
}

int32_t BaseUnitLibrary::read_block(uint8_t dev_no, uint8_t address, uint8_t count,
                                    int32_t* words) {
  log("KV_ReadBlock", {dev_no, address, count});
  SimulatedBaseUnit* unit = open_unit(dev_no);
  if (!unit) return 0;
  if (fill_nothing_) {
    unit->take_block();  // the set is still used up, as a transfer that lost its data would
    return 1;
  }
  unit->read_block(address, count, words);
  return 1;
}

bool BaseUnitLibrary::is_open(uint8_t dev_no) const {
  return known(dev_no) && slots_[dev_no - 1]->open;
}

std::vector<std::string> BaseUnitLibrary::call_texts() const {
  std::vector<std::string> texts;
  for (const LibraryCall& call : calls_) texts.push_back(call.text());
  return texts;
}

int BaseUnitLibrary::count_calls(std::string_view function) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const LibraryCall& c) {
    return c.function == function;
  }));
}

BaseUnitLibrary::Slot& BaseUnitLibrary::slot(uint8_t dev_no) {
  if (!known(dev_no)) throw std::out_of_range("base unit number must be 1..4");
  return *slots_[dev_no - 1];
}

SimulatedBaseUnit* BaseUnitLibrary::open_unit(uint8_t dev_no) {
  return is_open(dev_no) ? &slots_[dev_no - 1]->unit : nullptr;
}

void BaseUnitLibrary::log(std::string function, std::vector<int64_t> args) {
  calls_.push_back({std::move(function), std::move(args)});
}

}  // namespace zetra::standins
