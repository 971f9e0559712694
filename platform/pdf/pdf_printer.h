// The printer as a PDF file of our own making, for any system and also with no printer installed:
// A4 pages with 10 mm margins, lines and text in the standard Helvetica font.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/pdf/pdf_file.h"
#include "platform/printer.h"

namespace zetra::platform {

class PdfPrinter final : public Printer {
 public:
  // Writes each document to `pdf_path` (a UTF-8 name; none until print_to_file names one).
  // choose() answers `answer` without a dialog (none: cancelled).
  explicit PdfPrinter(std::string pdf_path = {}, std::optional<PrintJob> answer = {});

  bool choose(int highest_page, PrintJob& job) override;
  // This printer always writes files: the next documents go to `pdf_path`.
  void print_to_file(const std::string& pdf_path) override { path_ = pdf_path; }
  bool begin() override;
  void set_orientation(PageOrientation orientation) override;
  double page_width_twips() override;
  double page_height_twips() override;
  void set_scale(double left, double top, double width, double height) override;
  void set_line_width(int width) override { line_width_ = width < 1 ? 1 : width; }
  void set_colour(uint32_t bgr) override { colour_ = bgr; }
  void set_font_size(double points) override { font_points_ = points > 0 ? points : 10; }
  void set_position(double x, double y) override;
  void print(const std::string& text) override;
  void line(double x1, double y1, double x2, double y2) override;
  void new_page() override;
  bool end_document() override;
  std::string error() const override { return error_; }

 private:
  struct Page {
    PageOrientation orientation;
    std::string content;
  };
  struct Point {
    double x, y;  // twips from the printable area's top left corner, y downwards
  };

  Page& page();  // the page being drawn, started at the first drawing
  PageOrientation current_orientation() const;
  double area_width() const;
  double area_height() const;
  Point to_area(double x, double y) const;
  double from_area_y(double area_y) const;
  std::string at(Point p) const;  // "x y" in the page's PDF points
  std::string colour_operands() const;
  void print_line(const std::string& win_ansi);
  double text_width(const std::string& win_ansi, size_t start, size_t count) const;
  bool write_file(const std::string& bytes);

  std::string path_;
  std::optional<PrintJob> answer_;
  std::vector<Page> pages_;
  PageOrientation orientation_ = PageOrientation::Portrait;  // for pages started from now on
  double left_ = 0, top_ = 0, width_ = 1, height_ = 1;       // user scale
  double x_ = 0, y_ = 0;                                     // print position, user units
  int line_width_ = 1;
  uint32_t colour_ = 0;
  double font_points_ = 10;
  std::string error_;
};

}  // namespace zetra::platform
