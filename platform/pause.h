// Short waits the instrument link needs between line groups; a fake records them in tests.
#pragma once

namespace zetra::platform {

class Pause {
 public:
  virtual ~Pause() = default;
  virtual void wait_microseconds(int microseconds) = 0;
};

}  // namespace zetra::platform
