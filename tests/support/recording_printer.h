// A printer that keeps what it was asked to do as lines of text, with a scripted print dialog.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/printer.h"
#include "recorder/numbers/number_format.h"

namespace zetra::testing {

class RecordingPrinter final : public platform::Printer {
 public:
  std::optional<platform::PrintJob> answer;  // the dialog's answer; none cancels
  bool usable = true;                        // false: begin() fails
  bool fails_at_end = false;                 // end_document() reports a printer error
  int highest_page_offered = 0;
  std::vector<std::string> calls;            // "orientation 2", "line 0 0 400 0", "text 0 0 Notes:"

  bool choose(int highest_page, platform::PrintJob& job) override {
    highest_page_offered = highest_page;
    if (!answer) return false;
    job = *answer;
    return true;
  }
  void print_to_file(const std::string& pdf_path) override { calls.push_back("pdf " + pdf_path); }
  bool begin() override {
    calls.push_back("begin");
    return usable;
  }
  void set_orientation(platform::PageOrientation o) override {
    calls.push_back("orientation " + std::to_string(static_cast<int>(o)));
  }
  double page_width_twips() override { return 11000; }
  double page_height_twips() override { return 15000; }
  void set_scale(double left, double top, double width, double height) override {
    calls.push_back("scale " + n(left) + " " + n(top) + " " + n(width) + " " + n(height));
  }
  void set_line_width(int width) override { calls.push_back("width " + std::to_string(width)); }
  void set_colour(uint32_t bgr) override { calls.push_back("colour " + std::to_string(bgr)); }
  void set_font_size(double points) override { calls.push_back("font " + n(points)); }
  void set_position(double x, double y) override { x_ = x; y_ = y; }
  void print(const std::string& text) override {
    calls.push_back("text " + n(x_) + " " + n(y_) + " " + text);
  }
  void line(double x1, double y1, double x2, double y2) override {
    calls.push_back("line " + n(x1) + " " + n(y1) + " " + n(x2) + " " + n(y2));
  }
  void new_page() override { calls.push_back("new_page"); }
  bool end_document() override {
    calls.push_back("end");
    return !fails_at_end;
  }
  std::string error() const override { return usable ? "the printer stopped" : "no printer"; }

  // Calls that start with `prefix`.
  std::vector<std::string> calls_starting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& c : calls) {
      if (c.rfind(prefix, 0) == 0) found.push_back(c);
    }
    return found;
  }

 private:
  static std::string n(double v) { return numbers::format_shortest(static_cast<float>(v)); }
  double x_ = 0, y_ = 0;
};

}  // namespace zetra::testing
