#include "recorder/analysis/clipboard_text.h"

#include <algorithm>
#include <array>

#include "recorder/state/display_rule.h"
#include "recorder/numbers/number_format.h"

namespace zetra::analysis {
namespace {

// Seven fields, six TABs and CR LF; each field fits in kFixedTextRoom.
constexpr size_t kLineRoom = 7 * numbers::kFixedTextRoom + 8;
// A typical line ("1234.5\t-12345.6\t..." ) is about 50 characters; reserving this avoids regrowth.
constexpr size_t kTypicalLine = 56;

char* field(char* out, float value, int decimals, char separator) {
  out = numbers::write_fixed(out, value, decimals);
  *out++ = separator;
  return out;
}

}  // namespace

void append_table_header(std::string& out) {
  const std::string_view degree = numbers::kDegreeSign;
  out += "   Time\t  <1>pA\t  <1>nM\t   <1>";
  out += degree;
  out += "C\t  <2>pA\t  <2>nM\t   <2>";
  out += degree;
  out += "C\r\n";
}

void append_table_lines(std::string& out, const RecordingStore& store,
                        const ConditioningSettings& settings, const TableRange& range,
                        char separator) {
  const size_t size = store.rec_cur1.size();
  const size_t count = range.first_index >= size ? 0 : std::min(range.count, size - range.first_index);
  const ChannelRule rule1 = channel_rule(settings, 1);
  const ChannelRule rule2 = channel_rule(settings, 2);
  const float interval = settings.sample_interval;
  const float* cur1 = store.rec_cur1.data();
  const float* cur2 = store.rec_cur2.data();
  const float* temp1 = store.rec_temp1.data();
  const float* temp2 = store.rec_temp2.data();
  out.reserve(out.size() + count * kTypicalLine);
  std::array<char, kLineRoom> line{};
  float position = range.first_position;
  for (size_t j = 0; j < count; ++j, position += 1.0f) {
    const size_t k = range.first_index + j;
    const float pa1 = rule1.compensated_pa(cur1[k], temp1[k]);
    const float pa2 = rule2.compensated_pa(cur2[k], temp2[k]);
    char* p = line.data();
    p = field(p, position * interval, 1, separator);
    p = field(p, pa1, 1, separator);
    p = field(p, pa1 / rule1.pa_per_nm, 1, separator);
    p = field(p, temp1[k], 2, separator);
    p = field(p, pa2, 1, separator);
    p = field(p, pa2 / rule2.pa_per_nm, 1, separator);
    p = field(p, temp2[k], 2, '\r');
    *p++ = '\n';
    out.append(line.data(), p);
  }
}

std::string table_text(const RecordingStore& store, const ConditioningSettings& settings,
                       const TableRange& range) {
  std::string text;
  append_table_header(text);
  append_table_lines(text, store, settings, range);
  return text;
}

}  // namespace zetra::analysis
