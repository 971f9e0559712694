// Where a transport stand-in (serial-line responder, base unit) gets its sample sets from.
#pragma once

#include "standins/meter/sample_words.h"

namespace zetra::standins {

class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // The next sample set, taken `elapsed_s` seconds after the previous one. A transport calls
  // this once per sample set it presents (busy polls included), never more often.
  virtual SampleWords next(double elapsed_s) = 0;
};

}  // namespace zetra::standins
