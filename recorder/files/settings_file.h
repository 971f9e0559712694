// The settings file zetrat.set: one 118-byte record of display, conversion and connection settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "recorder/files/atomic_file.h"

namespace zetra::files {

inline constexpr size_t kSettingsBytes = 118;
inline constexpr const char* kSettingsFileName = "zetrat.set";

struct SettingsRecord {
  float pa_per_nm1 = 0, sample_interval = 0, rec_capacity = 0, view_width = 0;  // 0..12
  float span1 = 0, offset1 = 0;                                                   // 16, 20
  float win_top = 0, win_left = 0, win_height = 0, win_width = 0;                 // 24..36, twips
  int16_t connection = 0;   // 40: 1..4 USB unit, 5..8 COM1..COM4, 0 none
  int16_t unit = 0;         // 42: 0 pA, 1 nM
  int16_t line_width = 0;   // 44: 1..3
  int16_t grid_off = 0;     // 46: 0 grid on, 1 off
  float color_back = 0, color_grid = 0, color_cur1 = 0;  // 48, 52, 56
  int16_t window_state = 0;  // 60: 2 maximised
  int16_t tspan1 = 0;        // 62
  float tbase1 = 0, color_temp1 = 0, tc_start1 = 0, tc_factor1 = 0;  // 64..76
  int16_t temp_line_on = 0;  // 80: 1 on
  int16_t tc_off = 0;        // 82: 1 compensation off
  float pa_per_nm2 = 0, span2 = 0, offset2 = 0, color_temp2 = 0, color_cur2 = 0;  // 84..100
  int16_t tspan2 = 0;                                                         // 104
  float tbase2 = 0, tc_start2 = 0, tc_factor2 = 0;                            // 106..114
};

void encode_settings(const SettingsRecord& settings, uint8_t* record);
SettingsRecord decode_settings(const uint8_t* record);

// Writes the record atomically. Returns an empty string, or why it failed.
std::string write_settings(const std::string& path, const SettingsRecord& settings,
                           FaultPlan* faults = nullptr);
// False when the file is missing, unreadable or shorter than one record.
bool read_settings(const std::string& path, SettingsRecord& settings);

}  // namespace zetra::files
