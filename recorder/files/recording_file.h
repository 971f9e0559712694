// The .ztr recording file: fixed 25110-byte records, each with the settings block, the notes and
// 1500 samples of the four traces. No header, no trailer; record k starts at (k - 1) x 25110.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/files/atomic_file.h"
#include "recorder/files/regular_file.h"
#include "recorder/state/float_array.h"

namespace zetra::files {

inline constexpr size_t kRecordBytes = 25110;
inline constexpr size_t kSamplesPerRecord = 1500;
inline constexpr size_t kNotesBytes = 1000;

// Byte offsets within a record.
namespace record_offset {
inline constexpr size_t kCur1 = 48, kCur2 = 6052, kNotes = 12056, kTemp1 = 13056, kTemp2 = 19060;
inline constexpr size_t kTspan1 = 25064, kTcOff = 25108;
}  // namespace record_offset

// The settings block, the same in every record of a file.
struct RecordingHeader {
  float rec_capacity = 0, rec_next = 0, shown_count = 0, view_start = 0, view_width = 0;
  float span1 = 0, span2 = 0, offset1 = 0, offset2 = 0, sample_interval = 0;
  float pa_per_nm1 = 0, pa_per_nm2 = 0;
  int16_t tspan1 = 0, tspan2 = 0;
  float tbase1 = 0, tbase2 = 0;
  float color_cur1 = 0, color_cur2 = 0, color_temp1 = 0, color_temp2 = 0;
  float tc_start1 = 0, tc_start2 = 0, tc_factor1 = 0, tc_factor2 = 0;
  int16_t tc_off = 0;  // 1 when temperature compensation is off
};

// The four traces as arrays of `size` elements (index 0 unused, samples from 1).
struct TraceView {
  const float* cur1;
  const float* cur2;
  const float* temp1;
  const float* temp2;
  size_t size;
};

// Records a file holds for a counter: ceil(rec_next / 1500); 3000 -> 2, 3001 -> 3.
size_t record_count(float rec_next);

// Fills one whole record k (from 1). `notes` is Windows-1252 text, cut or padded to 1000 bytes
// here; sample slots beyond the arrays are written as 0.0.
void encode_record(const RecordingHeader& header, const std::string& notes,
                   const TraceView& traces, size_t k, uint8_t* record);
RecordingHeader decode_header(const uint8_t* record);
std::string decode_notes(const uint8_t* record);  // all 1000 bytes, Windows-1252

// Writes records 1..record_count(header.rec_next) atomically; records of an older, longer file
// beyond them are kept. Returns an empty string, or the reason it failed; `read_only` (when
// given) tells a refused read-only target, whose reason is the whole message to show.
std::string write_recording(const std::string& path, const RecordingHeader& header,
                            const std::string& notes, const TraceView& traces,
                            FaultPlan* faults = nullptr, bool* read_only = nullptr);

struct LoadedRecording {
  RecordingHeader header;  // rec_next rounded, view_start and shown_count brought into the data
  std::string notes;       // 1000 bytes, Windows-1252
  FloatArray cur1, cur2, temp1, temp2;  // rec_capacity + 1 elements each
  // Display settings the recorder could not have written, replaced by their start-up values.
  std::vector<std::string> findings;
  // Only from a journal: the file the recording belonged to, and that file as it was then.
  std::string file_name;
  FileIdentity file_identity;
};

// Why a settings block cannot be a recording of this recorder (a memory size, sample counter or
// sample interval it could never have written), or empty. `counter_only` checks just rec_capacity
// and rec_next.
std::string header_problem(const RecordingHeader& header, bool counter_only = false);
// Puts the start-up value in place of every display setting outside what the recorder produces
// (spans, chart width, offsets, temperature bases, colours, calibrations) and says which, one
// finding each. The header must have passed header_problem.
std::vector<std::string> replace_unusable_settings(RecordingHeader& header);

// Reads a recording; on failure `error` says why. The samples are read straight into the arrays of
// `loaded`: arrays that already have the recording's size are filled in place (no fresh memory to
// fault in), others are allocated. Every check of the file's settings and size comes before any
// array is touched; only a read that fails midway (a failing disk) leaves arrays handed in partly
// overwritten. The header and notes change only on success.
bool read_recording(const std::string& path, LoadedRecording& loaded, std::string& error);
// The same on the bytes of a file held in memory.
bool parse_recording(const uint8_t* data, size_t size, LoadedRecording& loaded,
                     std::string& error);

}  // namespace zetra::files
