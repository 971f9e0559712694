#include "recorder/files/recording_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "recorder/files/field_limits.h"
#include "recorder/files/little_endian.h"
#include "recorder/numbers/number_format.h"
#include "recorder/state/recorder_state.h"

namespace zetra::files {
namespace {

void put_block(uint8_t* at, const float* trace, size_t size, size_t first) {
  put_f32(at, 0.0f);  // slot 0 is never used
  for (size_t j = 1; j <= kSamplesPerRecord; ++j) {
    const size_t i = first + j;
    put_f32(at + 4 * j, i < size ? trace[i] : 0.0f);
  }
}

void get_block(const uint8_t* at, float* trace, size_t size, size_t first) {
  const size_t last = std::min(first + kSamplesPerRecord, size - 1);
  for (size_t i = first + 1; i <= last; ++i) trace[i] = get_f32(at + 4 * (i - first));
}

// The display settings of a recorder just started.
RecordingHeader startup_settings() {
  const ConditioningSettings conditioning;
  const ChartView view;
  const ChartDrawing drawing;
  RecordingHeader h;
  h.view_width = view.view_width;
  h.span1 = view.span1;
  h.span2 = view.span2;
  h.offset1 = view.offset1;
  h.offset2 = view.offset2;
  h.tspan1 = view.tspan1;
  h.tspan2 = view.tspan2;
  h.tbase1 = view.tbase1;
  h.tbase2 = view.tbase2;
  h.pa_per_nm1 = conditioning.pa_per_nm1;
  h.pa_per_nm2 = conditioning.pa_per_nm2;
  h.tc_start1 = conditioning.tc_start1;
  h.tc_start2 = conditioning.tc_start2;
  h.tc_factor1 = conditioning.tc_factor1;
  h.tc_factor2 = conditioning.tc_factor2;
  h.color_cur1 = drawing.color_cur1;
  h.color_cur2 = drawing.color_cur2;
  h.color_temp1 = drawing.color_temp1;
  h.color_temp2 = drawing.color_temp2;
  return h;
}

// Puts `fallback` in place of `value` unless `usable`, noting which setting it was.
template <class T, class Usable>
void keep_usable(T& value, T fallback, Usable usable, const char* name,
                 std::vector<std::string>& findings) {
  if (usable(value)) return;
  findings.push_back(std::string(name) + " " + numbers::format_shortest(static_cast<float>(value)) +
                     " is not one the recorder uses; the start-up value " +
                     numbers::format_shortest(static_cast<float>(fallback)) + " is used");
  value = fallback;
}

}  // namespace

size_t record_count(float rec_next) {
  if (!(rec_next > 0)) return 0;
  return static_cast<size_t>(std::ceil(static_cast<double>(rec_next) / kSamplesPerRecord));
}

void encode_record(const RecordingHeader& h, const std::string& notes, const TraceView& t,
                   size_t k, uint8_t* r) {
  const float head[] = {h.rec_capacity, h.rec_next,  h.shown_count, h.view_start,
                        h.view_width,   h.span1,     h.span2,       h.offset1,
                        h.offset2,      h.sample_interval, h.pa_per_nm1, h.pa_per_nm2};
  for (size_t i = 0; i < std::size(head); ++i) put_f32(r + 4 * i, head[i]);
  const size_t first = (k - 1) * kSamplesPerRecord;
  put_block(r + record_offset::kCur1, t.cur1, t.size, first);
  put_block(r + record_offset::kCur2, t.cur2, t.size, first);
  std::memset(r + record_offset::kNotes, ' ', kNotesBytes);
  std::memcpy(r + record_offset::kNotes, notes.data(), std::min(notes.size(), kNotesBytes));
  put_block(r + record_offset::kTemp1, t.temp1, t.size, first);
  put_block(r + record_offset::kTemp2, t.temp2, t.size, first);
  uint8_t* tail = r + record_offset::kTspan1;
  put_i16(tail, h.tspan1);
  put_i16(tail + 2, h.tspan2);
  const float rest[] = {h.tbase1,    h.tbase2,    h.color_cur1, h.color_cur2, h.color_temp1,
                        h.color_temp2, h.tc_start1, h.tc_start2, h.tc_factor1, h.tc_factor2};
  for (size_t i = 0; i < std::size(rest); ++i) put_f32(tail + 4 + 4 * i, rest[i]);
  put_i16(r + record_offset::kTcOff, h.tc_off);
}

RecordingHeader decode_header(const uint8_t* r) {
  RecordingHeader h;
  float* head[] = {&h.rec_capacity, &h.rec_next,  &h.shown_count, &h.view_start,
                   &h.view_width,   &h.span1,     &h.span2,       &h.offset1,
                   &h.offset2,      &h.sample_interval, &h.pa_per_nm1, &h.pa_per_nm2};
  for (size_t i = 0; i < std::size(head); ++i) *head[i] = get_f32(r + 4 * i);
  const uint8_t* tail = r + record_offset::kTspan1;
  h.tspan1 = get_i16(tail);
  h.tspan2 = get_i16(tail + 2);
  float* rest[] = {&h.tbase1,    &h.tbase2,    &h.color_cur1, &h.color_cur2, &h.color_temp1,
                   &h.color_temp2, &h.tc_start1, &h.tc_start2, &h.tc_factor1, &h.tc_factor2};
  for (size_t i = 0; i < std::size(rest); ++i) *rest[i] = get_f32(tail + 4 + 4 * i);
  h.tc_off = get_i16(r + record_offset::kTcOff);
  return h;
}

std::string decode_notes(const uint8_t* r) {
  return std::string(reinterpret_cast<const char*>(r + record_offset::kNotes), kNotesBytes);
}

std::string header_problem(const RecordingHeader& h, bool counter_only) {
  if (!limits::memory_size(h.rec_capacity)) {
    return "the memory size " + numbers::format_shortest(h.rec_capacity) +
           " is not one of the recorder's";
  }
  if (!std::isfinite(h.rec_next) || h.rec_next < 1 || h.rec_next > h.rec_capacity) {
    return "the sample counter " + numbers::format_shortest(h.rec_next) +
           " lies outside the memory";
  }
  if (counter_only) return {};
  if (!limits::listed_rate(h.sample_interval)) {
    return "the sample interval " + numbers::format_shortest(h.sample_interval) +
           " s is not one of the recorder's (1, 1/2, 1/3, 1/4 or 1/5 s)";
  }
  return {};
}

std::vector<std::string> replace_unusable_settings(RecordingHeader& h) {
  const RecordingHeader start = startup_settings();
  std::vector<std::string> found;
  using namespace limits;
  h.sample_interval = exact_interval(h.sample_interval);
  const float interval = h.sample_interval;
  // A start-up width that does not fit the recording's rate becomes 10 s per division.
  const float width = listed_width(start.view_width, interval) ? start.view_width : 200 / interval;
  keep_usable(
      h.view_width, width, [&](float v) { return listed_width(v, interval); }, "the chart width",
      found);
  keep_usable(h.span1, start.span1, listed_span, "the CH1 value span", found);
  keep_usable(h.span2, start.span2, listed_span, "the CH2 value span", found);
  keep_usable(
      h.offset1, value_offset(start.offset1, h.span1) ? start.offset1 : 0.0f,
      [&](float v) { return value_offset(v, h.span1); }, "the CH1 offset", found);
  keep_usable(
      h.offset2, value_offset(start.offset2, h.span2) ? start.offset2 : 0.0f,
      [&](float v) { return value_offset(v, h.span2); }, "the CH2 offset", found);
  keep_usable(h.tspan1, start.tspan1, listed_tspan, "the CH1 temperature span", found);
  keep_usable(h.tspan2, start.tspan2, listed_tspan, "the CH2 temperature span", found);
  keep_usable(h.tbase1, start.tbase1, temperature_base, "the CH1 temperature base", found);
  keep_usable(h.tbase2, start.tbase2, temperature_base, "the CH2 temperature base", found);
  keep_usable(h.pa_per_nm1, start.pa_per_nm1, divisor, "the CH1 calibration", found);
  keep_usable(h.pa_per_nm2, start.pa_per_nm2, divisor, "the CH2 calibration", found);
  keep_usable(h.tc_start1, start.tc_start1, finite, "the CH1 start point temperature", found);
  keep_usable(h.tc_start2, start.tc_start2, finite, "the CH2 start point temperature", found);
  keep_usable(h.tc_factor1, start.tc_factor1, finite, "the CH1 compensation factor", found);
  keep_usable(h.tc_factor2, start.tc_factor2, finite, "the CH2 compensation factor", found);
  keep_usable(h.color_cur1, start.color_cur1, colour, "the CH1 colour", found);
  keep_usable(h.color_cur2, start.color_cur2, colour, "the CH2 colour", found);
  keep_usable(h.color_temp1, start.color_temp1, colour, "the CH1 temperature colour", found);
  keep_usable(h.color_temp2, start.color_temp2, colour, "the CH2 temperature colour", found);
  return found;
}

std::string write_recording(const std::string& path, const RecordingHeader& header,
                            const std::string& notes, const TraceView& traces, FaultPlan* faults,
                            bool* read_only) {
  AtomicFile file(path, faults);
  const size_t count = record_count(header.rec_next);
  // Records go out about a megabyte at a time: one write call per record costs more than the
  // encoding itself.
  constexpr size_t kRecordsPerWrite = 40;
  std::vector<uint8_t> batch(std::min(count, kRecordsPerWrite) * kRecordBytes);
  // Written in place, record 1 (whose counter says how many records the file holds) goes last,
  // and the room for all of them is reserved before anything is written.
  file.hold_back_first(kRecordBytes);
  bool ok = file.open() && file.reserve(static_cast<uint64_t>(count) * kRecordBytes);
  for (size_t first = 1; ok && first <= count; first += kRecordsPerWrite) {
    const size_t last = std::min(count, first + kRecordsPerWrite - 1);
    for (size_t k = first; k <= last; ++k) {
      encode_record(header, notes, traces, k, batch.data() + (k - first) * kRecordBytes);
    }
    ok = file.write(batch.data(), (last - first + 1) * kRecordBytes);
  }
  ok = ok && file.carry_over_from(static_cast<uint64_t>(count) * kRecordBytes) && file.commit();
  if (read_only != nullptr) *read_only = file.read_only();
  if (file.read_only()) return file.error() + "; use Save as";
  return ok ? std::string() : file.error();
}

namespace {

// Reads the next `size` bytes into `to`; false when they are not there.
using Reader = std::function<bool(uint8_t* to, size_t size)>;

// The first record's counter checked against the memory size and the file's length; `count` is
// the number of records the counter needs.
std::string check_first_record(const uint8_t* record, uint64_t file_size, RecordingHeader& first,
                               size_t& count) {
  first = decode_header(record);
  // Only a counter an integer can hold is rounded; any other is refused just below.
  if (std::isfinite(first.rec_next) && std::fabs(first.rec_next) <= 1e9f) {
    first.rec_next = static_cast<float>(numbers::round_half_even(first.rec_next));
  }
  if (std::string problem = header_problem(first, true); !problem.empty()) return problem;
  count = record_count(first.rec_next);
  if (file_size < count * kRecordBytes) {
    return "the file holds " + std::to_string(file_size / kRecordBytes) +
           " whole records, but its sample counter needs " + std::to_string(count);
  }
  return {};
}

// The settings and notes of the last record with the first record's counter, checked, odd display
// settings replaced, and where the chart stood brought into the data.
std::string settle_header(const uint8_t* last, const RecordingHeader& first, LoadedRecording& out) {
  RecordingHeader h = decode_header(last);
  h.rec_capacity = first.rec_capacity;
  h.rec_next = first.rec_next;
  if (std::string problem = header_problem(h); !problem.empty()) return problem;
  out.findings = replace_unusable_settings(h);
  // A value that is no number starts at the ends.
  h.shown_count =
      std::isfinite(h.shown_count) ? std::clamp(h.shown_count, 1.0f, h.rec_next) : h.rec_next;
  h.view_start = std::isfinite(h.view_start) ? std::clamp(h.view_start, 1.0f, h.rec_next) : 1.0f;
  out.header = h;
  out.notes = decode_notes(last);
  return {};
}

// The four traces of record k (1-based) into arrays of `size` floats.
void unpack_samples(const uint8_t* record, size_t k, float* const arrays[4], size_t size) {
  const size_t at = (k - 1) * kSamplesPerRecord;
  get_block(record + record_offset::kCur1, arrays[0], size, at);
  get_block(record + record_offset::kCur2, arrays[1], size, at);
  get_block(record + record_offset::kTemp1, arrays[2], size, at);
  get_block(record + record_offset::kTemp2, arrays[3], size, at);
}

std::string load(const Reader& read_exact, uint64_t file_size, LoadedRecording& out) {
  if (file_size < kRecordBytes) {
    return "the file is shorter than one record (" + std::to_string(file_size) + " bytes)";
  }
  std::vector<uint8_t> record(kRecordBytes);
  if (!read_exact(record.data(), kRecordBytes)) return "the file cannot be read";
  RecordingHeader first;
  size_t count = 0;
  if (std::string problem = check_first_record(record.data(), file_size, first, count);
      !problem.empty()) {
    return problem;
  }
  const auto size = static_cast<size_t>(first.rec_capacity) + 1;
  try {
    out.cur1.reset(size);
    out.cur2.reset(size);
    out.temp1.reset(size);
    out.temp2.reset(size);
  } catch (const std::bad_alloc&) {
    return "there is not enough memory for its recording";
  }
  float* const arrays[4] = {out.cur1.data(), out.cur2.data(), out.temp1.data(), out.temp2.data()};
  for (size_t k = 1; k <= count; ++k) {
    if (k > 1 && !read_exact(record.data(), kRecordBytes)) return "the file cannot be read";
    unpack_samples(record.data(), k, arrays, size);
  }
  return settle_header(record.data(), first, out);
}

bool read_at(platform::File& file, uint8_t* to, size_t size, uint64_t offset) {
  return file.read_at(to, size, offset) == 0;
}

// Records whose samples the arrays hold whole are read with one system call per batch where the
// system can, the samples straight into the arrays (the file is little-endian, as this machine);
// the settings, notes and unused slots of each record go to `scratch`. Nine pieces a record.
constexpr size_t kRecordsPerRead = 100;

bool read_records_direct(platform::File& file, size_t first, size_t last, float* const arrays[4],
                         uint8_t* scratch) {
  struct Piece {
    size_t offset, bytes;
    int array;  // -1: scratch
  };
  static constexpr Piece kPieces[] = {
      {0, record_offset::kCur1 + 4, -1},          {record_offset::kCur1 + 4, 6000, 0},
      {record_offset::kCur2, 4, -1},              {record_offset::kCur2 + 4, 6000, 1},
      {record_offset::kNotes, kNotesBytes + 4, -1}, {record_offset::kTemp1 + 4, 6000, 2},
      {record_offset::kTemp2, 4, -1},             {record_offset::kTemp2 + 4, 6000, 3},
      {record_offset::kTspan1, kRecordBytes - record_offset::kTspan1, -1}};
  std::array<platform::ReadPiece, kRecordsPerRead * std::size(kPieces)> pieces{};
  for (size_t k = first; k <= last; k += kRecordsPerRead) {
    const size_t end = std::min(last, k + kRecordsPerRead - 1);
    size_t n = 0;
    for (size_t r = k; r <= end; ++r) {
      const size_t at = (r - 1) * kSamplesPerRecord + 1;  // the record's first sample
      for (const Piece& p : kPieces) {
        pieces[n].to = p.array < 0 ? static_cast<void*>(scratch + p.offset)
                                   : static_cast<void*>(arrays[p.array] + at);
        pieces[n++].bytes = p.bytes;
      }
    }
    if (file.read_pieces_at(pieces.data(), n, (k - 1) * kRecordBytes) != 0) return false;
  }
  return true;
}

// Reads the recording of an open file: every check on the settings and the size first, then the
// samples. Arrays of `out` that already have the recording's size are filled in place.
std::string load_file(platform::File& file, uint64_t file_size, LoadedRecording& out) {
  if (file_size < kRecordBytes) {
    return "the file is shorter than one record (" + std::to_string(file_size) + " bytes)";
  }
  std::vector<uint8_t> record(kRecordBytes);
  if (!read_at(file, record.data(), kRecordBytes, 0)) return "the file cannot be read";
  RecordingHeader first;
  size_t count = 0;
  if (std::string problem = check_first_record(record.data(), file_size, first, count);
      !problem.empty()) {
    return problem;
  }
  // The settings and notes come from the last record; the counter from the first.
  if (count > 1 && !read_at(file, record.data(), kRecordBytes, (count - 1) * kRecordBytes)) {
    return "the file cannot be read";
  }
  LoadedRecording checked;
  if (std::string problem = settle_header(record.data(), first, checked); !problem.empty()) {
    return problem;
  }

  const auto size = static_cast<size_t>(first.rec_capacity) + 1;
  FloatArray* targets[] = {&out.cur1, &out.cur2, &out.temp1, &out.temp2};
  FloatArray fresh[4];  // for arrays not of the recording's size; they replace them on success
  float* arrays[4];
  for (size_t t = 0; t < 4; ++t) {
    if (targets[t]->size() != size) {
      try {
        fresh[t].reset(size);
      } catch (const std::bad_alloc&) {
        return "there is not enough memory for its recording";
      }
    }
    arrays[t] = targets[t]->size() == size ? targets[t]->data() : fresh[t].data();
  }
  // Records whose samples lie wholly inside the arrays, read straight into them.
  const size_t whole = std::endian::native == std::endian::little
                           ? std::min(count, (size - 1) / kSamplesPerRecord)
                           : 0;
  std::vector<uint8_t> scratch(kRecordBytes);
  if (whole > 0 && !read_records_direct(file, 1, whole, arrays, scratch.data())) {
    return "the file cannot be read";
  }
  for (size_t k = whole + 1; k <= count; ++k) {
    if (!read_at(file, scratch.data(), kRecordBytes, (k - 1) * kRecordBytes)) {
      return "the file cannot be read";
    }
    unpack_samples(scratch.data(), k, arrays, size);
  }
  // Arrays filled in place held an older recording: beyond the records read they become zero,
  // as fresh ones are.
  const size_t filled = std::min(count * kSamplesPerRecord + 1, size);
  for (float* a : arrays) {
    a[0] = 0;
    std::fill(a + filled, a + size, 0.0f);
  }
  for (size_t t = 0; t < 4; ++t) {
    if (fresh[t].size() == size) *targets[t] = std::move(fresh[t]);
  }
  out.header = checked.header;
  out.notes = std::move(checked.notes);
  out.findings = std::move(checked.findings);
  return {};
}

}  // namespace

bool read_recording(const std::string& path, LoadedRecording& loaded, std::string& error) {
  RegularFile file(path);  // a pipe or device is refused before anything is read
  if (!file.is_open()) {
    error = file.error();
    return false;
  }
  error = load_file(file.file(), file.size(), loaded);
  return error.empty();
}

bool parse_recording(const uint8_t* data, size_t size, LoadedRecording& loaded,
                     std::string& error) {
  size_t at = 0;
  const Reader reader = [&](uint8_t* to, size_t n) {
    if (size - at < n) return false;
    std::memcpy(to, data + at, n);
    at += n;
    return true;
  };
  LoadedRecording fresh;
  error = load(reader, size, fresh);
  if (!error.empty()) return false;
  loaded = std::move(fresh);
  return true;
}

}  // namespace zetra::files
