// A pause that returns at once and remembers how long it was asked to wait.
#pragma once

#include <vector>

#include "platform/pause.h"

namespace zetra::testing {

class CountingPause final : public platform::Pause {
 public:
  std::vector<int> waits_us;
  void wait_microseconds(int microseconds) override { waits_us.push_back(microseconds); }
};

}  // namespace zetra::testing
