#include "recorder/files/printing.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "recorder/chart/legend.h"
#include "recorder/files/segment_clip.h"
#include "recorder/state/display_rule.h"
#include "recorder/numbers/number_format.h"

namespace zetra::files {

using platform::PageOrientation;
using platform::Printer;
using platform::PrintJob;
using platform::PrintRange;
using chart::LegendEntries;
using chart::legend_entries;

std::string printed_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return "Printed " + numbers::format_date_time(local.tm_year + 1900, local.tm_mon + 1,
                                                local.tm_mday, local.tm_hour, local.tm_min);
}

int page_count(const RecorderState& s) {
  const double samples = std::max(0.0, static_cast<double>(s.shown_count) - 1);
  const double pages = std::ceil(samples / s.view_width);
  return static_cast<int>(std::clamp(pages, 1.0, 1.0e6));
}

std::string foot_line(const RecorderState& s) {
  return "DIV: " + s.label_time + "_" + s.label_div1 + "_" + s.label_div2 + "_" + s.label_tdiv1 +
         "_" + s.label_tdiv2 + "  " + s.file_name;
}

void Printing::bind() {
  context_.window.on("pprint", [this] { print(); });
  context_.window.on("cprint", [this] { print(); });
  context_.window.on("ppdf", [this] { print_to_pdf(); });
  context_.window.on("ppnotespdf", [this] { print_notes_to_pdf(); });
}

void Printing::tell(const std::string& reason) {
  context_.platform.dialogs.message_box("Cannot print: " + reason + ".", "Print",
                                        platform::MessageIcon::Exclamation,
                                        platform::MessageButtons::Ok);
}

void Printing::print() {
  Printer* printer = context_.platform.printer;
  if (printer == nullptr) {
    tell("no printer is available");
    return;
  }
  const int pages = page_count(context_.state);
  PrintJob job;  // Selection, landscape
  job.to_page = pages;
  if (!printer->choose(pages, job)) return;
  print_job(*printer, job);
}

// The recording's name with ".pdf" in place of its extension, and "-notes" for the notes.
std::string Printing::ask_pdf_name(const std::string& title, const std::string& suffix) {
  std::string name = context_.state.file_name;
  const size_t slash = name.find_last_of("/\\");
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
  return context_.platform.dialogs.save_file(title, "PDF Files (*.pdf)|*.pdf", "pdf",
                                             name + suffix + ".pdf");
}

void Printing::print_to_pdf() {
  Printer* printer = context_.platform.printer;
  if (printer == nullptr) return;
  const std::string path = ask_pdf_name("Print to PDF", "");
  if (path.empty()) return;
  printer->print_to_file(path);
  PrintJob job;
  job.range = PrintRange::All;
  print_job(*printer, job);
}

void Printing::print_notes_to_pdf() {
  Printer* printer = context_.platform.printer;
  if (printer == nullptr) return;
  const std::string path = ask_pdf_name("Print notes to PDF", "-notes");
  if (path.empty()) return;
  printer->print_to_file(path);
  context_.window.invoke("ppnotes");
}

void Printing::print_job(Printer& printer, const PrintJob& job) {
  WindowModel& window = context_.window;
  window.screen_pointer = Pointer::Busy;
  window["p1"].pointer = Pointer::Busy;
  const float remembered = context_.state.view_start;
  if (!printer.begin()) {
    tell(printer.error());
  } else if (!print_pages(printer, job) || !printer.end_document()) {
    tell(printer.error());
  }
  context_.state.view_start = remembered;
  window.screen_pointer = Pointer::Default;
  window["p1"].pointer = Pointer::Cross;
}

// Page k starts at sample 1 + (k - 1) x view_width, for All and for a range alike.
bool Printing::print_pages(Printer& printer, const PrintJob& job) {
  RecorderState& s = context_.state;
  if (job.range == PrintRange::Selection) {
    print_page(job.orientation);
    return true;
  }
  const int last_page = page_count(s);
  int first = 1, last = last_page;
  if (job.range == PrintRange::Pages) {
    first = std::max(job.from_page, 1);
    last = std::min(job.to_page, last_page);
  }
  for (int k = first; k <= last; ++k) {
    if (k > first) printer.new_page();
    s.view_start = static_cast<float>(1.0 + (k - 1) * static_cast<double>(s.view_width));
    print_page(job.orientation);
  }
  return true;
}

void Printing::print_page(PageOrientation orientation) {
  context_.platform.printer->set_orientation(orientation);
  if (orientation == PageOrientation::Portrait) {
    pprint1();
  } else {
    pprint2();
  }
}

void Printing::pprint1() {
  const double span = context_.state.span1;
  draw_page(*context_.platform.printer, 1.1 * span, -1.9 * span);
}

void Printing::pprint2() {
  const double span = context_.state.span1;
  // Room above the frame for the scales' names and below it for the legend.
  draw_page(*context_.platform.printer, 1.08 * span, -1.3 * span);
}

void Printing::draw_page(Printer& printer, double top, double height) {
  const RecorderState& s = context_.state;
  const double width = s.view_width, span = s.span1;
  // Room on both sides: CH1 and its temperature scale at the left, CH2's at the right.
  printer.set_scale(-0.15 * width, top, 1.3 * width, height);
  printer.set_colour(0);
  printer.set_line_width(5);
  printer.line(0, 0, width, 0);
  printer.line(width, 0, width, span);
  printer.line(width, span, 0, span);
  printer.line(0, span, 0, 0);
  printer.set_line_width(1);
  for (int d = 1; d < 20; ++d) printer.line(d * width / 20, 0, d * width / 20, span / 100);
  for (int d = 1; d < 10; ++d) printer.line(0, d * span / 10, width / 100, d * span / 10);
  draw_curves(printer);
  draw_labels(printer);
}

namespace {

// One trace's chart y for a recording index.
struct Trace {
  const float* values;
  const float* temps;
  ChannelRule rule;
  bool nanomolar;
  double offset, scale, base;
  bool temperature;
  double y(size_t i) const {
    if (temperature) return (temps[i] - base) * scale;
    const double pa = rule.compensated_pa(values[i], temps[i]);
    return (offset + (nanomolar ? pa / rule.pa_per_nm : pa)) * scale;
  }
};

}  // namespace

// The page's samples as on the screen, up to the newest drawable one and no further.
void Printing::draw_curves(Printer& printer) {
  const RecorderState& s = context_.state;
  const WindowModel& w = context_.window;
  const double last = std::min<double>({s.shown_count - 1.0, s.rec_next - 1.0,
                                        static_cast<double>(s.rec_cur1.size()) - 1});
  const bool nm = w["psnm"].checked;
  const double span = s.span1;
  std::vector<std::pair<Trace, float>> traces = {
      {{s.rec_cur1.data(), s.rec_temp1.data(), channel_rule(s, 1), nm, s.offset1, 1, 0, false},
       s.color_cur1},
      {{s.rec_cur2.data(), s.rec_temp2.data(), channel_rule(s, 2), nm, s.offset2, span / s.span2,
        0, false},
       s.color_cur2}};
  if (w["ptlon"].checked) {
    traces.push_back({{nullptr, s.rec_temp1.data(), channel_rule(s, 1), false, 0,
                       span / s.tspan1, s.tbase1, true},
                      s.color_temp1});
    traces.push_back({{nullptr, s.rec_temp2.data(), channel_rule(s, 2), false, 0,
                       span / s.tspan2, s.tbase2, true},
                      s.color_temp2});
  }
  const int pen = w["pl3"].checked ? 3 : w["pl2"].checked ? 2 : 1;
  printer.set_line_width(pen);
  for (const auto& [trace, colour] : traces) {
    printer.set_colour(static_cast<uint32_t>(colour));
    double px = 0, py = 0;
    bool started = false;
    for (int x = 0; x <= static_cast<int>(s.view_width); ++x) {
      const double at = numbers::round_half_even(s.view_start + static_cast<double>(x));
      if (at < 1 || at > last) {
        if (at > last) break;
        continue;
      }
      const double y = trace.y(static_cast<size_t>(at));
      Segment segment{px, py, static_cast<double>(x), y};
      // Inside the frame only, as on the screen: a marker dip must not cross the labels.
      if (started && clip_segment(segment, 0, s.view_width, 0, span)) {
        printer.line(segment.x1, segment.y1, segment.x2, segment.y2);
      }
      px = x;
      py = y;
      started = true;
    }
  }
}

// The four value scales with their units, above each column its trace's name.
void Printing::draw_scales(Printer& printer) {
  const RecorderState& s = context_.state;
  const double width = s.view_width, span = s.span1;
  const LegendEntries legend = legend_entries(s, context_.window);
  const double units_per_division[4] = {s.span1 / 10.0, s.span2 / 10.0, s.tspan1 / 10.0,
                                        s.tspan2 / 10.0};
  const double bottom_value[4] = {-s.offset1, -s.offset2, s.tbase1, s.tbase2};
  const double column_x[4] = {-0.14 * width, 1.015 * width, -0.07 * width, 1.085 * width};
  printer.set_font_size(7);
  for (int k = 0; k < 4; ++k) {
    printer.set_colour(legend[k].colour);
    printer.set_position(column_x[k], 1.06 * span);
    printer.print(legend[k].text);
    for (int d = 0; d <= 10; d += 2) {
      const double value = bottom_value[k] + d * units_per_division[k];
      printer.set_position(column_x[k], d * span / 10 + 0.02 * span);
      printer.print(k < 2 ? numbers::format_shortest(static_cast<float>(value))
                          : numbers::format_shortest(static_cast<float>(value)) +
                                std::string(numbers::kDegreeSign) + "C");
    }
  }
}

// A short stroke in each trace's colour followed by its name, in one row under the foot line.
void Printing::draw_legend(Printer& printer) {
  const RecorderState& s = context_.state;
  const double width = s.view_width, span = s.span1;
  const LegendEntries legend = legend_entries(s, context_.window);
  printer.set_font_size(9);
  for (int k = 0; k < 4; ++k) {
    const double x = k * 0.16 * width;
    printer.set_colour(legend[k].colour);
    printer.set_line_width(3);
    printer.line(x, -0.16 * span, x + 0.03 * width, -0.16 * span);
    printer.set_position(x + 0.04 * width, -0.14 * span);
    printer.print(legend[k].text);
  }
  printer.set_line_width(1);
  printer.set_colour(0);
}

void Printing::draw_labels(Printer& printer) {
  const RecorderState& s = context_.state;
  const double width = s.view_width, span = s.span1;
  printer.set_colour(0);
  printer.set_font_size(8);
  for (int d = 0; d <= 20; d += 5) {
    const double seconds = (s.view_start - 1 + d * width / 20) * s.sample_interval;
    const double right_edge_room = d == 20 ? 0.06 * width : 0;  // the last label ends at the edge
    printer.set_position(d * width / 20 - right_edge_room, -0.02 * span);
    printer.print(numbers::format_fixed(seconds, 0) + "s");
  }
  draw_scales(printer);
  printer.set_colour(0);
  printer.set_font_size(10);
  printer.set_position(0, -0.08 * span);
  printer.print(foot_line(s) + "  " + printed_at());
  draw_legend(printer);
}

}  // namespace zetra::files
