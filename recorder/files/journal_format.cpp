#include "recorder/files/journal_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "recorder/files/little_endian.h"
#include "recorder/numbers/number_format.h"

namespace zetra::files {
namespace {

constexpr std::array<uint32_t, 256> make_crc_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = make_crc_table();

// Reserves room for a frame of `payload` bytes and returns where its payload starts.
size_t begin_frame(std::vector<uint8_t>& out, uint32_t kind, size_t payload) {
  const size_t at = out.size();
  out.resize(at + kFrameOverhead + payload);
  put_u32(&out[at], kJournalMagic);
  put_u32(&out[at + 4], kind);
  put_u32(&out[at + 8], static_cast<uint32_t>(payload));
  return at + 12;
}

void end_frame(std::vector<uint8_t>& out, size_t payload_at, size_t payload) {
  const uint32_t crc = crc32(&out[payload_at - 8], payload + 8);
  put_u32(&out[payload_at + payload], crc);
}

bool allocate(LoadedRecording& r, float capacity) {
  const auto size = static_cast<size_t>(capacity) + 1;
  try {
    r.cur1.reset(size);
    r.cur2.reset(size);
    r.temp1.reset(size);
    r.temp2.reset(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// One samples frame into the arrays; false when it does not fit them.
bool apply_samples(const uint8_t* p, size_t length, LoadedRecording& r) {
  if (length < 12) return false;
  const size_t first = get_u32(p), count = get_u32(p + 4);
  const float rec_next = get_f32(p + 8);
  const size_t size = r.cur1.size();
  if (count > kMaxSamplesPerFrame || length != 12 + 16 * count) return false;
  if (first < 1 || first + count > size) return false;
  if (!std::isfinite(rec_next) || rec_next < 1 || rec_next > r.header.rec_capacity) return false;
  float* traces[] = {r.cur1.data(), r.cur2.data(), r.temp1.data(), r.temp2.data()};
  const uint8_t* at = p + 12;
  for (float* trace : traces) {
    for (size_t i = 0; i < count; ++i, at += 4) trace[first + i] = get_f32(at);
  }
  r.header.rec_next = rec_next;
  return true;
}

// A settings frame; a new memory size re-creates the arrays, as choosing it in the menu does.
std::string apply_settings(const uint8_t* p, size_t length, LoadedRecording& r, bool first) {
  if (length != kRecordBytes) return "a settings frame has the wrong length";
  RecordingHeader h = decode_header(p);
  h.rec_next = h.shown_count = h.view_start = 1;
  if (std::string problem = header_problem(h); !problem.empty()) return problem;
  replace_unusable_settings(h);
  const float rec_next = first ? 1.0f : r.header.rec_next;
  if (first || h.rec_capacity != r.header.rec_capacity) {
    if (!allocate(r, h.rec_capacity)) return "there is not enough memory for its recording";
  }
  r.header = h;
  r.header.rec_next = std::min(rec_next, h.rec_capacity);
  r.notes = decode_notes(p);
  return {};
}

// A file frame: the name and identity of the recording's file.
bool apply_file(const uint8_t* p, size_t length, LoadedRecording& r) {
  if (length < 24) return false;
  const uint32_t name_length = get_u32(p + 20);
  if (name_length > kMaxFileNameBytes || length != 24 + size_t{name_length}) return false;
  r.file_identity.exists = get_u32(p) == 1;
  r.file_identity.size = get_u32(p + 4) | uint64_t{get_u32(p + 8)} << 32;
  r.file_identity.mtime_ns =
      static_cast<int64_t>(get_u32(p + 12) | uint64_t{get_u32(p + 16)} << 32);
  r.file_name.assign(reinterpret_cast<const char*>(p + 24), name_length);
  return true;
}

}  // namespace

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void append_settings_frame(std::vector<uint8_t>& out, const RecordingHeader& header,
                           const std::string& notes) {
  const size_t at = begin_frame(out, kSettingsFrame, kRecordBytes);
  const TraceView none{nullptr, nullptr, nullptr, nullptr, 0};
  encode_record(header, notes, none, 1, &out[at]);
  end_frame(out, at, kRecordBytes);
}

void append_samples_frame(std::vector<uint8_t>& out, const TraceView& t, size_t first,
                          size_t count, float rec_next) {
  const size_t payload = 12 + 16 * count;
  const size_t at = begin_frame(out, kSamplesFrame, payload);
  put_u32(&out[at], static_cast<uint32_t>(first));
  put_u32(&out[at + 4], static_cast<uint32_t>(count));
  put_f32(&out[at + 8], rec_next);
  uint8_t* p = &out[at + 12];
  for (const float* trace : {t.cur1, t.cur2, t.temp1, t.temp2}) {
    for (size_t i = 0; i < count; ++i, p += 4) put_f32(p, trace[first + i]);
  }
  end_frame(out, at, payload);
}

void append_file_frame(std::vector<uint8_t>& out, const std::string& name,
                       const FileIdentity& identity) {
  if (name.size() > kMaxFileNameBytes) return;
  const size_t payload = 24 + name.size();
  const size_t at = begin_frame(out, kFileFrame, payload);
  const auto time = static_cast<uint64_t>(identity.mtime_ns);
  put_u32(&out[at], identity.exists ? 1 : 0);
  put_u32(&out[at + 4], static_cast<uint32_t>(identity.size));
  put_u32(&out[at + 8], static_cast<uint32_t>(identity.size >> 32));
  put_u32(&out[at + 12], static_cast<uint32_t>(time));
  put_u32(&out[at + 16], static_cast<uint32_t>(time >> 32));
  put_u32(&out[at + 20], static_cast<uint32_t>(name.size()));
  std::copy(name.begin(), name.end(), out.begin() + static_cast<std::ptrdiff_t>(at + 24));
  end_frame(out, at, payload);
}

bool parse_journal(const uint8_t* data, size_t size, LoadedRecording& loaded, std::string& error,
                   size_t* frames_read) {
  LoadedRecording fresh;
  size_t frames = 0, at = 0;
  error.clear();
  while (size - at >= kFrameOverhead) {
    const uint8_t* f = data + at;
    const uint32_t kind = get_u32(f + 4), length = get_u32(f + 8);
    if (get_u32(f) != kJournalMagic || length > size - at - kFrameOverhead) break;
    if (crc32(f + 4, length + 8) != get_u32(f + 12 + length)) break;  // the torn tail of a crash
    const uint8_t* payload = f + 12;
    if (kind == kSettingsFrame) {
      error = apply_settings(payload, length, fresh, frames == 0);
      if (!error.empty()) {
        if (frames > 0) error.clear();  // keep what came before a settings block that is wrong
        break;
      }
    } else if (kind == kFileFrame && frames > 0) {
      if (!apply_file(payload, length, fresh)) break;
    } else if (kind != kSamplesFrame || frames == 0 || !apply_samples(payload, length, fresh)) {
      if (frames == 0) error = "it does not start with the recording's settings";
      break;
    }
    ++frames;
    at += kFrameOverhead + length;
  }
  if (frames_read != nullptr) *frames_read = frames;
  if (frames == 0 && error.empty()) error = "it holds no whole settings frame";
  if (frames == 0 || !error.empty()) return false;
  RecordingHeader& h = fresh.header;
  h.rec_next = static_cast<float>(numbers::round_half_even(h.rec_next));
  h.shown_count = h.rec_next;
  h.view_start = 1;
  loaded = std::move(fresh);
  return true;
}

}  // namespace zetra::files
