// The link's pauses as short sleeps of the user-interface thread.
#pragma once

#include "platform/pause.h"

namespace zetra::platform {

class ThreadPause final : public Pause {
 public:
  void wait_microseconds(int microseconds) override;
};

}  // namespace zetra::platform
