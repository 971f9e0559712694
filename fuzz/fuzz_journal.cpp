// The recovery journal's reader on any bytes: refuses or loads, never crashes; what it loads
// keeps the store's invariants.
#include <cstdlib>

#include "recorder/files/journal_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra::files;
  LoadedRecording loaded;
  std::string error;
  size_t frames = 0;
  if (!parse_journal(data, size, loaded, error, &frames)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const RecordingHeader& h = loaded.header;
  if (frames == 0 || loaded.cur1.size() != static_cast<size_t>(h.rec_capacity) + 1) std::abort();
  if (!(h.rec_next >= 1 && h.rec_next <= h.rec_capacity)) std::abort();
  if (!(h.sample_interval > 0) || !(h.span1 > 0) || h.tspan1 <= 0) std::abort();
  return 0;
}
