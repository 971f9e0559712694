// The text table that Copy and Cut put on the clipboard and that export writes: a header line and
// one line per sample, fields separated by TAB, every line (the last included) ended by CR LF.
#pragma once

#include <cstddef>
#include <string>

#include "recorder/state/recorder_state.h"

namespace zetra::analysis {

// The samples a table lists: line j (from 0) shows sample first_index + j at the recording
// position first_position + j, counted by a 32-bit float as the copy walk counts it. The time
// field is that position x sample_interval, so it keeps a fraction the index has lost.
struct TableRange {
  float first_position = 1;
  size_t first_index = 1;
  size_t count = 0;
};

// "   Time", "  <1>pA", "  <1>nM", "   <1>°C", "  <2>pA", "  <2>nM", "   <2>°C" and CR LF.
void append_table_header(std::string& out);

// One line per sample: time "0.0", CH1 pA "0.0", CH1 nM "0.0", CH1 temperature "0.00", then the
// same three for CH2. Currents follow the display rule (compensated when tc_on), temperatures are
// as stored. Lines whose index lies beyond the store's arrays are left out. `separator` stands
// between the fields (a comma for CSV).
void append_table_lines(std::string& out, const RecordingStore& store,
                        const ConditioningSettings& settings, const TableRange& range,
                        char separator = '\t');

// Header and lines in one string.
std::string table_text(const RecordingStore& store, const ConditioningSettings& settings,
                       const TableRange& range);

}  // namespace zetra::analysis
