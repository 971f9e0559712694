#include "recorder/files/notes_text.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "recorder/files/text_encoding.h"
#include "recorder/numbers/number_format.h"

namespace zetra::files {
namespace {

constexpr std::string_view kPrefix = "No answer from the unit ";
constexpr std::string_view kDash = "\xE2\x80\x93";  // en dash, one byte (0x96) in the field

// Reads an unsigned number at the front of `text`, moving past it.
bool take_number(std::string_view& text, uint64_t& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return true;
}

bool take(std::string_view& text, std::string_view expected) {
  if (text.substr(0, expected.size()) != expected) return false;
  text.remove_prefix(expected.size());
  return true;
}

// "hh:mm:ss" as seconds of the day.
bool take_time(std::string_view& text, int64_t& seconds) {
  uint64_t h = 0, m = 0, s = 0;
  if (!take_number(text, h) || !take(text, ":") || !take_number(text, m) || !take(text, ":") ||
      !take_number(text, s) || h > 23 || m > 59 || s > 59) {
    return false;
  }
  seconds = static_cast<int64_t>(h * 3600 + m * 60 + s);
  return true;
}

// How the field breaks lines: CR LF when every break is one, CR alone when there is no LF.
std::string line_break_of(std::string_view field) {
  const size_t lf = std::count(field.begin(), field.end(), '\n');
  const size_t cr = std::count(field.begin(), field.end(), '\r');
  if (lf > 0 && cr == lf) {
    for (size_t i = field.find('\n'); i != std::string_view::npos; i = field.find('\n', i + 1)) {
      if (i == 0 || field[i - 1] != '\r') return "\n";
    }
    return "\r\n";
  }
  return cr > 0 && lf == 0 ? "\r" : "\n";
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  if (from == to) return std::string(text);
  std::string out;
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    out.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  out.append(text.substr(start));
  return out;
}

bool in_order_within(const std::vector<HeldStretch>& stretches, size_t recorded) {
  for (size_t k = 0; k < stretches.size(); ++k) {
    const HeldStretch& s = stretches[k];
    if (s.first < 1 || s.last > recorded || (k > 0 && s.first <= stretches[k - 1].last)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string held_line(const HeldStretch& s) {
  std::string line(kPrefix);
  if (s.from_s >= 0 && s.to_s >= 0) {
    line += numbers::format_clock_time(s.from_s);
    line += kDash;
    line += numbers::format_clock_time(s.to_s);
    line += ' ';
  }
  if (s.first == s.last) return line + "(sample " + std::to_string(s.first) + ")";
  line += "(samples " + std::to_string(s.first);
  line += kDash;
  return line + std::to_string(s.last) + ")";
}

std::optional<HeldStretch> parse_held_line(std::string_view line) {
  const std::string_view whole = line;
  HeldStretch s;
  if (!take(line, kPrefix)) return std::nullopt;
  if (!line.empty() && line.front() != '(') {
    if (!take_time(line, s.from_s) || !take(line, kDash) || !take_time(line, s.to_s) ||
        !take(line, " ")) {
      return std::nullopt;
    }
  }
  uint64_t first = 0, last = 0;
  const bool several = take(line, "(samples ");
  if (!several && !take(line, "(sample ")) return std::nullopt;
  if (!take_number(line, first)) return std::nullopt;
  last = first;
  if (several && (!take(line, kDash) || !take_number(line, last))) return std::nullopt;
  if (line != ")" || last < first) return std::nullopt;
  s.first = static_cast<size_t>(first);
  s.last = static_cast<size_t>(last);
  // Only the form the recorder writes: read back and written again, the same bytes.
  if (held_line(s) != whole) return std::nullopt;
  return s;
}

NotesField read_notes_field(std::string_view field, size_t recorded) {
  NotesField notes;
  const size_t end = field.find_last_not_of(' ');
  std::string text = from_windows1252(field.substr(0, end == std::string_view::npos ? 0 : end + 1));
  notes.line_break = line_break_of(field);
  std::vector<HeldStretch> listed;
  size_t kept = text.size();
  for (size_t at = text.rfind(notes.line_break, kept); at != std::string::npos && kept > 0;
       at = at == 0 ? std::string::npos : text.rfind(notes.line_break, at - 1)) {
    const size_t from = at + notes.line_break.size();
    const std::optional<HeldStretch> stretch =
        parse_held_line(std::string_view(text).substr(from, kept - from));
    if (!stretch) break;
    listed.insert(listed.begin(), *stretch);
    kept = at;
  }
  if (!listed.empty() && in_order_within(listed, recorded)) {
    text.resize(kept);
    for (const HeldStretch& s : listed) notes.held.append(s);
  }
  notes.text = replace_all(text, notes.line_break, "\n");
  return notes;
}

ComposedNotes compose_notes_field(std::string_view text, std::string_view line_break,
                                  const HeldStretches& held) {
  ComposedNotes notes;
  notes.field = to_windows1252(replace_all(text, "\n", line_break));
  int64_t needed = static_cast<int64_t>(notes.field.size());
  if (notes.field.size() > kNotesFieldBytes) notes.field.resize(kNotesFieldBytes);
  for (const HeldStretch& s : held.list()) {
    const std::string line = to_windows1252(std::string(line_break) + held_line(s));
    needed += static_cast<int64_t>(line.size());
    if (notes.unlisted == 0 && notes.field.size() + line.size() <= kNotesFieldBytes) {
      notes.field += line;
    } else {
      ++notes.unlisted;  // the list stops at the first line that does not fit
    }
  }
  notes.room = static_cast<int64_t>(kNotesFieldBytes) - needed;
  return notes;
}

std::string notes_with_held_lines(std::string_view text, const HeldStretches& held) {
  std::string out(text);
  for (const HeldStretch& s : held.list()) out += "\n" + held_line(s);
  return out;
}

size_t utf16_units(std::string_view utf8) {
  size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;  // each sequence's lead byte
    if (byte >= 0xF0) ++units;           // four-byte sequences take a surrogate pair
  }
  return units;
}

}  // namespace zetra::files
