// The recording-file reader on any bytes: refuses or loads, never crashes; what it loads keeps
// the store's invariants.
#include <cstdlib>

#include "recorder/files/recording_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra::files;
  LoadedRecording loaded;
  std::string error;
  if (!parse_recording(data, size, loaded, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  const RecordingHeader& h = loaded.header;
  const auto arrays = static_cast<size_t>(h.rec_capacity) + 1;
  if (loaded.cur1.size() != arrays || loaded.temp2.size() != arrays) std::abort();
  if (!(h.rec_next >= 1 && h.rec_next <= h.rec_capacity)) std::abort();
  if (!(h.view_start >= 1 && h.view_start <= h.rec_next)) std::abort();
  if (loaded.notes.size() != kNotesBytes) std::abort();
  return 0;
}
