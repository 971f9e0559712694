#include "tools/ztrtool_commands.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

#include "recorder/analysis/clipboard_text.h"
#include "recorder/files/notes_text.h"
#include "recorder/files/recording_file.h"
#include "recorder/numbers/number_format.h"

namespace zetra::tools {
namespace {

constexpr const char* kHelp =
    "Usage: ztrtool COMMAND FILE [OPTIONS]\n"
    "Reads recording files (.ztr) written by the zetra recorder.\n"
    "\n"
    "Commands:\n"
    "  info FILE      the settings stored with the recording, its sample count and duration,\n"
    "                 its notes (control characters shown as \\xNN, a backslash as \\\\), and\n"
    "                 the stretches of samples the recorder held while the unit did not\n"
    "                 answer (copies of the last values, not measurements)\n"
    "  export FILE [--from N] [--to M] [--csv]\n"
    "                 writes samples N to M (by default all of them) to standard output as\n"
    "                 the text table the recorder's Copy puts on the clipboard: a header line,\n"
    "                 then per sample its time (sample number x sample interval), CH1 pA, nM\n"
    "                 and temperature, CH2 pA, nM and temperature, separated by TABs, each line\n"
    "                 ended by CR LF. Currents are temperature-compensated when the recording\n"
    "                 was saved with compensation on.\n"
    "                 --csv writes the same values as CSV: one header line, commas, periods.\n"
    "                 An empty recording gives the header line only.\n"
    "  check FILE     exit status 0 when the recorder can open FILE, with a line for each\n"
    "                 display setting it would replace by its start-up value; otherwise a\n"
    "                 message saying what is wrong and exit status 1. Only regular files\n"
    "                 are read.\n"
    "  --help         this text\n"
    "\n"
    "Errors go to standard error with a non-zero exit status (2 for wrong usage).\n";

constexpr int kUsage = 2;
constexpr int kBadFile = 1;

int usage(std::ostream& err, const std::string& problem) {
  err << "ztrtool: " << problem << "\nTry 'ztrtool --help'.\n";
  return kUsage;
}

bool load(const std::string& path, files::LoadedRecording& loaded, std::ostream& err) {
  std::string error;
  if (files::read_recording(path, loaded, error)) return true;
  err << "ztrtool: " << path << ": " << error << "\n";
  return false;
}

// The notes as terminal-safe text: each line break of the notes starts a new line indented under
// the first, a backslash doubles, and every other control character (which a terminal could take
// as a command) is written as \xNN. The code page decodes to no C1 controls.
std::string printable_notes(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\n       ";  // under the text after "notes: "
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7F) {
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The stretches the notes list as held while the unit did not answer: how many samples in all,
// then each as the notes name it.
void held_stretches(const HeldStretches& held, std::ostream& out) {
  size_t samples = 0;
  for (const HeldStretch& s : held.list()) samples += s.count();
  out << "held samples (no answer from the unit): " << samples;
  if (!held.empty()) {
    out << " in " << held.list().size() << (held.list().size() == 1 ? " stretch" : " stretches");
  }
  out << "\n";
  for (const HeldStretch& s : held.list()) out << "  " << files::held_line(s) << "\n";
}

int info(const std::string& path, std::ostream& out, std::ostream& err) {
  files::LoadedRecording r;
  if (!load(path, r, err)) return kBadFile;
  // The notes without their padding and without the list of held stretches at their end.
  const size_t recorded = r.header.rec_next > 1 ? static_cast<size_t>(r.header.rec_next) - 1 : 0;
  const files::NotesField notes = files::read_notes_field(r.notes, recorded);
  const files::RecordingHeader& h = r.header;
  const auto f = [](float v) { return numbers::format_shortest(v); };
  const double samples = h.rec_next - 1.0;
  out << "file: " << path << "\n"
      << "samples: " << numbers::format_fixed(samples, 0) << "\n"
      << "duration: " << numbers::format_fixed(samples * h.sample_interval, 1) << " s\n"
      << "sample interval: " << f(h.sample_interval) << " s\n"
      << "memory size: " << f(h.rec_capacity) << "\n"
      << "view: start " << f(h.view_start) << ", width " << f(h.view_width) << ", shown "
      << f(h.shown_count) << "\n"
      << "CH1: span " << f(h.span1) << ", offset " << f(h.offset1) << ", pA per nM "
      << f(h.pa_per_nm1) << ", temperature span " << h.tspan1 << ", base " << f(h.tbase1)
      << ", compensation start " << f(h.tc_start1) << ", factor " << f(h.tc_factor1) << "\n"
      << "CH2: span " << f(h.span2) << ", offset " << f(h.offset2) << ", pA per nM "
      << f(h.pa_per_nm2) << ", temperature span " << h.tspan2 << ", base " << f(h.tbase2)
      << ", compensation start " << f(h.tc_start2) << ", factor " << f(h.tc_factor2) << "\n"
      << "temperature compensation: " << (h.tc_off == 1 ? "off" : "on") << "\n"
      << "colours: CH1 " << f(h.color_cur1) << ", CH2 " << f(h.color_cur2) << ", T1 "
      << f(h.color_temp1) << ", T2 " << f(h.color_temp2) << "\n"
      << "notes: " << printable_notes(notes.text) << "\n";
  held_stretches(notes.held, out);
  return 0;
}

int check(const std::string& path, std::ostream& out, std::ostream& err) {
  files::LoadedRecording r;
  if (!load(path, r, err)) return kBadFile;
  out << path << ": a recording of " << numbers::format_fixed(r.header.rec_next - 1.0, 0)
      << " samples in " << files::record_count(r.header.rec_next) << " records\n";
  // The display settings the recorder's Open replaces, found by the same reader.
  for (const std::string& finding : r.findings) out << path << ": " << finding << "\n";
  return 0;
}

bool parse_count(const std::string& text, long long& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

struct ExportOptions {
  std::optional<long long> from, to;
  bool csv = false;
};

// Lines formatted and written per block: the table is never held whole.
constexpr size_t kBlockLines = 65536;

bool write_failed(std::ostream& out, std::ostream& err) {
  if (out) return false;
  err << "ztrtool: cannot write the output"
      << (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()) << "\n";
  return true;
}

int export_table(const std::string& path, const ExportOptions& options, std::ostream& out,
                 std::ostream& err) {
  files::LoadedRecording r;
  if (!load(path, r, err)) return kBadFile;
  const auto held = static_cast<long long>(r.header.rec_next) - 1;
  const long long from = options.from.value_or(1);
  const long long to = options.to.value_or(held);
  const bool everything = !options.from && !options.to;
  if (!everything && (from > to || to > held)) {
    err << "ztrtool: " << path << ": samples " << from << " to " << to
        << " are not all held; the file holds "
        << (held > 0 ? "samples 1 to " + std::to_string(held) : std::string("no samples")) << "\n";
    return kUsage;
  }
  RecordingStore store;
  store.rec_cur1 = std::move(r.cur1);
  store.rec_cur2 = std::move(r.cur2);
  store.rec_temp1 = std::move(r.temp1);
  store.rec_temp2 = std::move(r.temp2);
  store.rec_capacity = r.header.rec_capacity;
  store.rec_next = r.header.rec_next;
  ConditioningSettings settings;
  settings.sample_interval = r.header.sample_interval;
  settings.pa_per_nm1 = r.header.pa_per_nm1;
  settings.pa_per_nm2 = r.header.pa_per_nm2;
  settings.tc_start1 = r.header.tc_start1;
  settings.tc_start2 = r.header.tc_start2;
  settings.tc_factor1 = r.header.tc_factor1;
  settings.tc_factor2 = r.header.tc_factor2;
  settings.tc_on = r.header.tc_off != 1;
  std::string block;
  if (options.csv) {
    block = "time_s,ch1_pA,ch1_nM,ch1_degC,ch2_pA,ch2_nM,ch2_degC\r\n";
  } else {
    analysis::append_table_header(block);
  }
  errno = 0;
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  for (long long first = from; first <= to && out; first += kBlockLines) {
    analysis::TableRange range;
    range.first_position = static_cast<float>(first);  // whole numbers, exact below 2^24
    range.first_index = static_cast<size_t>(first);
    range.count = static_cast<size_t>(std::min<long long>(kBlockLines, to - first + 1));
    block.clear();
    analysis::append_table_lines(block, store, settings, range, options.csv ? ',' : '\t');
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  out.flush();
  return write_failed(out, err) ? kBadFile : 0;
}

int run_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ExportOptions options;
  std::string path;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--csv") {
      options.csv = true;
    } else if (a == "--from" || a == "--to") {
      long long value = 0;
      if (i + 1 >= args.size() || !parse_count(args[i + 1], value) || value < 1) {
        return usage(err, a + " needs a sample number of 1 or more");
      }
      (a == "--from" ? options.from : options.to) = value;
      ++i;
    } else if (path.empty() && a.rfind("--", 0) != 0) {
      path = a;
    } else {
      return usage(err, "unexpected argument '" + a + "'");
    }
  }
  if (path.empty()) return usage(err, "export needs a FILE");
  if (options.from && options.to && *options.from > *options.to) {
    return usage(err, "--from " + std::to_string(*options.from) + " lies after --to " +
                          std::to_string(*options.to));
  }
  return export_table(path, options, out, err);
}

int dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return usage(err, "no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kHelp;
    return 0;
  }
  if (command == "export") return run_export(args, out, err);
  if (command != "info" && command != "check") return usage(err, "unknown command '" + command + "'");
  if (args.size() != 2) return usage(err, command + " takes exactly one FILE");
  return command == "info" ? info(args[1], out, err) : check(args[1], out, err);
}

}  // namespace

// A command that wrote its output but could not deliver it (a full disk, a closed pipe) failed.
int run_ztrtool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  errno = 0;
  const int status = dispatch(args, out, err);
  out.flush();
  if (status == 0 && write_failed(out, err)) return kBadFile;
  return status;
}

}  // namespace zetra::tools
