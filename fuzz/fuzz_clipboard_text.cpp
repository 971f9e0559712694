// The clipboard text writer on any recording state: the store, the settings (compensation,
// calibrations, zero and non-finite values) and the range come from the input. The text is always
// well formed: the header, one line per listed sample inside the arrays, seven TAB-separated
// non-empty fields per line, every line ended by CR LF.
#include <cstdlib>
#include <cstring>

#include "recorder/analysis/clipboard_text.h"

namespace {

struct Input {
  const uint8_t* p;
  size_t left;
  template <class T>
  T take() {
    T v{};
    const size_t n = left < sizeof(T) ? left : sizeof(T);
    std::memcpy(&v, p, n);
    p += n;
    left -= n;
    return v;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zetra;
  Input in{data, size};
  RecordingStore store;
  const size_t capacity = 1 + in.take<uint8_t>() % 64;
  store.allocate(static_cast<float>(capacity));
  store.rec_next = in.take<float>();
  ConditioningSettings settings;
  settings.tc_on = in.take<uint8_t>() & 1;
  settings.pa_per_nm1 = in.take<float>();
  settings.pa_per_nm2 = in.take<float>();
  settings.tc_start1 = in.take<float>();
  settings.tc_factor2 = in.take<float>();
  settings.sample_interval = in.take<float>();
  analysis::TableRange range;
  range.first_position = in.take<float>();
  range.first_index = in.take<uint8_t>();
  range.count = in.take<uint8_t>();
  for (size_t i = 0; i < store.rec_cur1.size() && in.left >= 4; ++i) {
    store.rec_cur1[i] = in.take<float>();
    store.rec_cur2[i] = in.take<float>();
    store.rec_temp1[i] = in.take<float>();
    store.rec_temp2[i] = in.take<float>();
  }
  const std::string text = analysis::table_text(store, settings, range);
  size_t lines = 0, at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) std::abort();  // every line ends with CR LF
    const std::string line = text.substr(at, end - at);
    size_t fields = 1, field_start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
      if (i < line.size() && line[i] != '\t') {
        if (line[i] == '\r' || line[i] == '\n' || line[i] == '\0') std::abort();
        continue;
      }
      if (i == field_start) std::abort();  // an empty field
      if (i < line.size()) ++fields;
      field_start = i + 1;
    }
    if (fields != 7) std::abort();
    ++lines;
    at = end + 2;
  }
  size_t inside = 0;
  for (size_t j = 0; j < range.count; ++j) inside += range.first_index + j < store.rec_cur1.size();
  if (lines != 1 + inside) std::abort();
  return 0;
}
