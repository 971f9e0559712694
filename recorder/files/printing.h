// File > Print (pprint, cprint): the print dialog, then pprint1 (portrait) or pprint2 (landscape)
// for each page, one view_width of samples per page, with view_start put back at the end.
#pragma once

#include <functional>
#include <string>

#include "recorder/window/recorder_context.h"

namespace zetra::files {

// Pages that cover the drawable samples 1..shown_count - 1, view_width per page; at least one.
int page_count(const RecorderState& state);
// "DIV: 10s_200_500_10°C_10°C  /path/file1.ztr"
std::string foot_line(const RecorderState& state);

// "Printed 2026-12-07 11:30" at the present local time.
std::string printed_now();

class Printing {
 public:
  explicit Printing(RecorderContext& context) : context_(context) {}

  // "Printed yyyy-mm-dd hh:mm" with the local time; tests put in a fixed one.
  std::function<std::string()> printed_at = printed_now;

  void bind();
  void print();
  // Every page of the chart, or the notes, to a PDF file named in the save dialog.
  void print_to_pdf();
  void print_notes_to_pdf();
  // One page from view_start in the page coordinates of the orientation.
  void pprint1();
  void pprint2();

 private:
  void print_job(platform::Printer& printer, const platform::PrintJob& job);
  std::string ask_pdf_name(const std::string& title, const std::string& suffix);
  bool print_pages(platform::Printer& printer, const platform::PrintJob& job);
  void print_page(platform::PageOrientation orientation);
  void draw_page(platform::Printer& printer, double top, double height);
  void draw_curves(platform::Printer& printer);
  void draw_labels(platform::Printer& printer);
  void draw_scales(platform::Printer& printer);
  void draw_legend(platform::Printer& printer);
  void tell(const std::string& reason);

  RecorderContext& context_;
};

}  // namespace zetra::files
