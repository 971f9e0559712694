// The printer as the recorder uses it: a print dialog, then pages drawn in a user scale with
// lines and text at a print position, ended as one document.
#pragma once

#include <cstdint>
#include <string>

namespace zetra::platform {

enum class PageOrientation { Portrait = 1, Landscape = 2 };
enum class PrintRange { All, Selection, Pages };

// What the print dialog hands back. Pages are numbered from 1.
struct PrintJob {
  PrintRange range = PrintRange::Selection;
  int from_page = 1;
  int to_page = 1;
  PageOrientation orientation = PageOrientation::Landscape;
};

class Printer {
 public:
  virtual ~Printer() = default;

  // Shows the print dialog offering pages 1..highest_page, starting from `job`; false when
  // cancelled. The printer chosen there serves the next document.
  virtual bool choose(int highest_page, PrintJob& job) = 0;
  // Sends the next document to a PDF file instead of a printer, whether or not a printer is
  // installed; the documents after it go to the printer again.
  virtual void print_to_file(const std::string& pdf_path) = 0;
  // Starts a document on the chosen (or else the default) printer; false, with error(), when
  // there is no usable printer.
  virtual bool begin() = 0;
  // Applies to the page being started and those after it.
  virtual void set_orientation(PageOrientation orientation) = 0;
  // The printable area of the current page, twips.
  virtual double page_width_twips() = 0;
  virtual double page_height_twips() = 0;
  // User coordinates: the printable area's left edge is `left`, its top `top`; a negative height
  // makes y grow upwards.
  virtual void set_scale(double left, double top, double width, double height) = 0;
  virtual void set_line_width(int width) = 0;
  virtual void set_colour(uint32_t bgr) = 0;  // blue x 65536 + green x 256 + red
  virtual void set_font_size(double points) = 0;
  virtual void set_position(double x, double y) = 0;
  // UTF-8 text from the print position; each line break starts a line below at the same x, and
  // text that runs past the foot of the page continues on a new page.
  virtual void print(const std::string& text) = 0;
  virtual void line(double x1, double y1, double x2, double y2) = 0;
  virtual void new_page() = 0;
  // Sends the document; false, with error(), when the printer failed.
  virtual bool end_document() = 0;
  virtual std::string error() const = 0;
};

}  // namespace zetra::platform
