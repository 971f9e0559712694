// Short waits of the serial exchange, exact to microseconds: the system's sleep is far coarser
// than the waits between line groups.
#pragma once

#include "platform/pause.h"

namespace zetra::platform {

class Win32Pause final : public Pause {
 public:
  Win32Pause();
  ~Win32Pause() override;
  Win32Pause(const Win32Pause&) = delete;
  Win32Pause& operator=(const Win32Pause&) = delete;

  void wait_microseconds(int microseconds) override;

 private:
  void* timer_ = nullptr;  // a high-resolution waitable timer; none where the system has none
};

}  // namespace zetra::platform
