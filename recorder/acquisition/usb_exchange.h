// The sample-set exchange through the base unit's device library: one 32-word block per set.
#pragma once

#include <array>
#include <cstdint>

#include "platform/device_library.h"
#include "recorder/acquisition/sample_source.h"

namespace zetra {

class UsbExchange final : public SampleSource {
 public:
  UsbExchange(platform::DeviceLibrary& library, const uint8_t& dev_no)
      : library_(library), dev_no_(dev_no) {}

  ReadResult read_words(AcquisitionWorkingState& work) override;
  bool high_range(Channel channel) override;
  bool high_range_for_zero(Channel channel) override { return high_range(channel); }

  const std::array<int32_t, 32>& block() const { return block_; }

 private:
  platform::DeviceLibrary& library_;
  const uint8_t& dev_no_;          // follows the recorder's dev_no
  std::array<int32_t, 32> block_{};  // one fixed buffer: nothing is allocated per tick
};

}  // namespace zetra
