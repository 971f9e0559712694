#include "recorder/files/settings_file.h"

#include <array>

#include "recorder/files/little_endian.h"
#include "recorder/files/regular_file.h"

namespace zetra::files {
namespace {

// One field of the record: its offset and either a float or a 16-bit member.
struct Field {
  size_t offset;
  float SettingsRecord::*f;
  int16_t SettingsRecord::*i;
};

constexpr Field F(size_t offset, float SettingsRecord::*f) { return {offset, f, nullptr}; }
constexpr Field I(size_t offset, int16_t SettingsRecord::*i) { return {offset, nullptr, i}; }

using S = SettingsRecord;
constexpr std::array<Field, 34> kFields = {
    F(0, &S::pa_per_nm1),   F(4, &S::sample_interval), F(8, &S::rec_capacity),
    F(12, &S::view_width),  F(16, &S::span1),          F(20, &S::offset1),
    F(24, &S::win_top),     F(28, &S::win_left),       F(32, &S::win_height),
    F(36, &S::win_width),   I(40, &S::connection),     I(42, &S::unit),
    I(44, &S::line_width),  I(46, &S::grid_off),       F(48, &S::color_back),
    F(52, &S::color_grid),  F(56, &S::color_cur1),     I(60, &S::window_state),
    I(62, &S::tspan1),      F(64, &S::tbase1),         F(68, &S::color_temp1),
    F(72, &S::tc_start1),   F(76, &S::tc_factor1),     I(80, &S::temp_line_on),
    I(82, &S::tc_off),      F(84, &S::pa_per_nm2),     F(88, &S::span2),
    F(92, &S::offset2),     F(96, &S::color_temp2),    F(100, &S::color_cur2),
    I(104, &S::tspan2),     F(106, &S::tbase2),        F(110, &S::tc_start2),
    F(114, &S::tc_factor2)};

}  // namespace

void encode_settings(const SettingsRecord& s, uint8_t* record) {
  for (const Field& field : kFields) {
    if (field.f != nullptr) {
      put_f32(record + field.offset, s.*field.f);
    } else {
      put_i16(record + field.offset, s.*field.i);
    }
  }
}

SettingsRecord decode_settings(const uint8_t* record) {
  SettingsRecord s;
  for (const Field& field : kFields) {
    if (field.f != nullptr) {
      s.*field.f = get_f32(record + field.offset);
    } else {
      s.*field.i = get_i16(record + field.offset);
    }
  }
  return s;
}

std::string write_settings(const std::string& path, const SettingsRecord& settings,
                           FaultPlan* faults) {
  std::array<uint8_t, kSettingsBytes> record{};
  encode_settings(settings, record.data());
  AtomicFile file(path, faults);
  const bool ok = file.open() && file.write(record.data(), record.size()) &&
                  file.carry_over_from(kSettingsBytes) && file.commit();
  return ok ? std::string() : file.error();
}

bool read_settings(const std::string& path, SettingsRecord& settings) {
  RegularFile file(path);  // a pipe or device of that name must not hold up the start
  std::array<uint8_t, kSettingsBytes> record{};
  const bool whole = file.read_exact(record.data(), record.size());
  if (whole) settings = decode_settings(record.data());
  return whole;
}

}  // namespace zetra::files
