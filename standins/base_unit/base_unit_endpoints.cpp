// The simulated base unit behind the running controller's bulk pipes on the emulated USB bus.
#include "standins/base_unit/base_unit_endpoints.h"

#include <algorithm>
#include <vector>

#include "standins/base_unit/unit_wire.h"

namespace zetra::standins {

namespace {

void append32(std::deque<uint8_t>& answer, int32_t value) {
  uint8_t bytes[4];
  put_le32(value, bytes);
  answer.insert(answer.end(), bytes, bytes + 4);
}

}  // namespace

USBD_STATUS BaseUnitEndpoints::out(const uint8_t* data, size_t length) {
  const std::optional<UnitRequest> request = decode_request(data, length);
  if (!request) return USBD_STATUS_STALL_PID;
  std::lock_guard lock(mutex_);
  switch (request->command) {
    case UnitCommand::kStatus:
      answer_.push_back(unit_.status());
      break;
    case UnitCommand::kConfigure:
      unit_.configure(request->config);
      break;
    case UnitCommand::kWriteWord:
      unit_.write_word(request->address, request->value);
      break;
    case UnitCommand::kReadWord:
      append32(answer_, unit_.read_word(request->address));
      break;
    case UnitCommand::kReadBlock: {
      std::vector<int32_t> words(request->count);
      unit_.read_block(request->address, request->count, words.data());
      for (int32_t word : words) append32(answer_, word);
      break;
    }
  }
  return USBD_STATUS_SUCCESS;
}

USBD_STATUS BaseUnitEndpoints::in(uint8_t* data, size_t capacity, size_t* transferred) {
  std::lock_guard lock(mutex_);
  const size_t n = std::min(capacity, answer_.size());
  std::copy_n(answer_.begin(), n, data);
  answer_.erase(answer_.begin(), answer_.begin() + static_cast<std::ptrdiff_t>(n));
  *transferred = n;
  return USBD_STATUS_SUCCESS;
}

size_t BaseUnitEndpoints::answer_waiting() const {
  std::lock_guard lock(mutex_);
  return answer_.size();
}

}  // namespace zetra::standins
