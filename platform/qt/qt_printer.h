// The printer on QPrinter: the system's print dialog and printers, or a PDF file with a scripted
// dialog answer (for tests and for printing to a file). Everything is drawn in device space from
// the user scale, so text is never mirrored by a y-up scale.
#pragma once

#include <QPointer>
#include <QPrinter>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/printer.h"

class QPainter;

namespace zetra::platform {

class QtPrinter final : public Printer {
 public:
  QtPrinter();  // the system's printers, chosen in the print dialog
  // A PDF file; choose() answers `answer` (none: cancelled) without showing a dialog.
  QtPrinter(const QString& pdf_path, std::optional<PrintJob> answer);
  ~QtPrinter() override;

  void set_parent(QWidget* parent) { parent_ = parent; }

  bool choose(int highest_page, PrintJob& job) override;
  void print_to_file(const std::string& pdf_path) override;
  bool begin() override;
  void set_orientation(PageOrientation orientation) override;
  double page_width_twips() override;
  double page_height_twips() override;
  void set_scale(double left, double top, double width, double height) override;
  void set_line_width(int width) override;
  void set_colour(uint32_t bgr) override;
  void set_font_size(double points) override;
  void set_position(double x, double y) override;
  void print(const std::string& text) override;
  void line(double x1, double y1, double x2, double y2) override;
  void new_page() override;
  bool end_document() override;
  std::string error() const override { return error_; }

 private:
  QPainter& painter();
  QRectF page_pixels() const;
  QPointF to_device(double x, double y) const;
  double from_device_y(double device_y) const;
  void print_line(const QString& line);

  QPrinter printer_;
  std::optional<PrintJob> scripted_;
  bool pdf_ = false;       // made for a PDF file: every document goes there
  bool to_file_ = false;   // this document only goes to a PDF file
  QPointer<QWidget> parent_;
  std::unique_ptr<QPainter> painter_;
  double left_ = 0, top_ = 0, width_ = 1, height_ = 1;  // user scale
  double x_ = 0, y_ = 0;                                // print position, user units
  int line_width_ = 1;
  QColor colour_ = Qt::black;
  double font_points_ = 10;
  std::string error_;
};

}  // namespace zetra::platform
