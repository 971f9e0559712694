// Drawing is kept per page as PDF operators in points with y up; the user scale is applied here,
// so text stays upright whichever way the scale's y runs. The file is written at the end.
#include "platform/pdf/pdf_printer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/pdf/win_ansi.h"

namespace zetra::platform {
namespace {

// A4 and its margins, twips (1440 to the inch, 20 to the point).
constexpr double kPaperShort = 11906, kPaperLong = 16838, kMargin = 567;
constexpr double kTwipsPerPoint = 20;
// Line widths count screen pixels (1/96 inch), so a page looks like the chart.
constexpr double kPointsPerLineWidth = 0.75;
// Helvetica's ascent and a line's advance, in font sizes.
constexpr double kAscent = 0.75, kLineAdvance = 1.15;

std::filesystem::path native_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

PdfPrinter::PdfPrinter(std::string pdf_path, std::optional<PrintJob> answer)
    : path_(std::move(pdf_path)), answer_(answer) {}

bool PdfPrinter::choose(int /*highest_page*/, PrintJob& job) {
  if (!answer_) return false;
  job = *answer_;
  return true;
}

bool PdfPrinter::begin() {
  pages_.clear();
  error_.clear();
  if (path_.empty()) {
    error_ = "no file was named for the PDF";
    return false;
  }
  return true;
}

PdfPrinter::Page& PdfPrinter::page() {
  if (pages_.empty()) pages_.push_back({orientation_, {}});
  return pages_.back();
}

// An empty page being started takes the new orientation too.
void PdfPrinter::set_orientation(PageOrientation orientation) {
  orientation_ = orientation;
  if (!pages_.empty() && pages_.back().content.empty()) pages_.back().orientation = orientation;
}

PageOrientation PdfPrinter::current_orientation() const {
  return pages_.empty() ? orientation_ : pages_.back().orientation;
}

double PdfPrinter::area_width() const {
  const bool portrait = current_orientation() == PageOrientation::Portrait;
  return (portrait ? kPaperShort : kPaperLong) - 2 * kMargin;
}

double PdfPrinter::area_height() const {
  const bool portrait = current_orientation() == PageOrientation::Portrait;
  return (portrait ? kPaperLong : kPaperShort) - 2 * kMargin;
}

double PdfPrinter::page_width_twips() { return area_width(); }
double PdfPrinter::page_height_twips() { return area_height(); }

void PdfPrinter::set_scale(double left, double top, double width, double height) {
  left_ = left;
  top_ = top;
  width_ = width == 0 ? 1 : width;
  height_ = height == 0 ? 1 : height;
}

void PdfPrinter::set_position(double x, double y) {
  x_ = x;
  y_ = y;
}

PdfPrinter::Point PdfPrinter::to_area(double x, double y) const {
  return {(x - left_) / width_ * area_width(), (y - top_) / height_ * area_height()};
}

double PdfPrinter::from_area_y(double area_y) const {
  return top_ + area_y / area_height() * height_;
}

std::string PdfPrinter::at(Point p) const {
  const double paper_height = area_height() + 2 * kMargin;
  return pdf::pdf_number((kMargin + p.x) / kTwipsPerPoint) + " " +
         pdf::pdf_number((paper_height - kMargin - p.y) / kTwipsPerPoint);
}

std::string PdfPrinter::colour_operands() const {
  return pdf::pdf_number((colour_ & 0xFF) / 255.0) + " " +
         pdf::pdf_number(((colour_ >> 8) & 0xFF) / 255.0) + " " +
         pdf::pdf_number(((colour_ >> 16) & 0xFF) / 255.0);
}

void PdfPrinter::line(double x1, double y1, double x2, double y2) {
  std::string& content = page().content;
  content += colour_operands() + " RG " + pdf::pdf_number(line_width_ * kPointsPerLineWidth) +
             " w 1 J " + at(to_area(x1, y1)) + " m " + at(to_area(x2, y2)) + " l S\n";
}

void PdfPrinter::print(const std::string& text) {
  const std::string bytes = pdf::to_win_ansi(text);
  size_t start = 0;
  for (;;) {
    size_t end = bytes.find('\n', start);
    std::string line = bytes.substr(start, end == std::string::npos ? end : end - start);
    std::erase(line, '\r');
    print_line(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

double PdfPrinter::text_width(const std::string& win_ansi, size_t start, size_t count) const {
  double thousandths = 0;
  for (size_t k = start; k < start + count; ++k) {
    thousandths += pdf::helvetica_width(static_cast<unsigned char>(win_ansi[k]));
  }
  return thousandths / 1000 * font_points_ * kTwipsPerPoint;
}

// One line of text with its top at the print position, wrapped at the page's right edge; the
// position moves to the next line, onto a new page past the foot of this one.
void PdfPrinter::print_line(const std::string& win_ansi) {
  const double advance = font_points_ * kLineAdvance * kTwipsPerPoint;
  size_t start = 0;
  do {
    Point top_left = to_area(x_, y_);
    if (top_left.y + advance > area_height() && top_left.y > advance) {
      new_page();
      y_ = from_area_y(0);
      top_left = to_area(x_, y_);
    }
    const size_t left = win_ansi.size() - start;
    size_t fit = left == 0 ? 0 : 1;
    while (fit < left && top_left.x + text_width(win_ansi, start, fit + 1) <= area_width()) ++fit;
    if (fit > 0) {
      const Point baseline{top_left.x, top_left.y + font_points_ * kAscent * kTwipsPerPoint};
      page().content += colour_operands() + " rg BT /F1 " + pdf::pdf_number(font_points_) +
                        " Tf " + at(baseline) + " Td " +
                        pdf::pdf_string(win_ansi.substr(start, fit)) + " Tj ET\n";
    }
    start += fit;
    y_ = from_area_y(top_left.y + advance);
  } while (start < win_ansi.size());
}

void PdfPrinter::new_page() {
  page();
  pages_.push_back({orientation_, {}});
}

bool PdfPrinter::end_document() {
  page();  // a document has at least one page
  std::vector<pdf::PdfPage> pages;
  for (const Page& p : pages_) {
    const bool portrait = p.orientation == PageOrientation::Portrait;
    pages.push_back({(portrait ? kPaperShort : kPaperLong) / kTwipsPerPoint,
                     (portrait ? kPaperLong : kPaperShort) / kTwipsPerPoint, p.content});
  }
  pages_.clear();
  if (error_.empty() && !write_file(pdf::pdf_file(pages))) return false;
  return error_.empty();
}

// Written beside the target and renamed over it, so a failed write leaves no partial PDF.
bool PdfPrinter::write_file(const std::string& bytes) {
  const std::filesystem::path target = native_path(path_);
  std::filesystem::path temporary = target;
  temporary += ".writing";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error_ = "cannot write " + path_ + ": " + std::strerror(errno);
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) error_ = "cannot write " + path_ + ": " + std::strerror(errno);
  }
  std::error_code ec;
  if (error_.empty()) {
    std::filesystem::rename(temporary, target, ec);
    if (ec) error_ = "cannot write " + path_ + ": " + ec.message();
  }
  if (!error_.empty()) std::filesystem::remove(temporary, ec);
  return error_.empty();
}

}  // namespace zetra::platform
