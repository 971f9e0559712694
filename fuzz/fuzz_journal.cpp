// The recovery journal's reader on any bytes: refuses or loads, never crashes; what it loads
// keeps the store's invariants. The target mends each frame's magic, length and checksum first,
// so that mutated frames are parsed rather than stopped at as a torn tail.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "recorder/files/journal_format.h"
#include "recorder/files/little_endian.h"

namespace {

// Walks the bytes as frames: each gets the magic, a length that fits what is left and the
// checksum of what it holds. A tail shorter than a frame stays as it is.
std::vector<uint8_t> with_valid_frames(const uint8_t* data, size_t size) {
  using namespace zetra::files;
  std::vector<uint8_t> bytes(data, data + size);
  size_t at = 0;
  while (bytes.size() - at >= kFrameOverhead) {
    uint8_t* f = &bytes[at];
    const size_t room = bytes.size() - at - kFrameOverhead;
    const size_t length = std::min<size_t>(get_u32(f + 8), room);
    put_u32(f, kJournalMagic);
    put_u32(f + 8, static_cast<uint32_t>(length));
    put_u32(f + 12 + length, crc32(f + 4, length + 8));
    at += kFrameOverhead + length;
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra::files;
  const std::vector<uint8_t> bytes = with_valid_frames(data, size);
  LoadedRecording loaded;
  std::string error;
  size_t frames = 0;
  if (!parse_journal(bytes.data(), bytes.size(), loaded, error, &frames)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const RecordingHeader& h = loaded.header;
  if (frames == 0 || loaded.cur1.size() != static_cast<size_t>(h.rec_capacity) + 1) std::abort();
  if (!(h.rec_next >= 1 && h.rec_next <= h.rec_capacity)) std::abort();
  if (!(h.sample_interval > 0) || !(h.span1 > 0) || h.tspan1 <= 0) std::abort();
  if (!(h.color_cur1 >= 0 && h.color_cur1 <= 0xFFFFFF) || !(h.view_width > 0)) std::abort();
  if (loaded.file_name.size() > kMaxFileNameBytes) std::abort();
  return 0;
}
