#include "platform/qt/qt_printer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>

namespace zetra::platform {

QtPrinter::QtPrinter() : printer_(QPrinter::HighResolution) {}

QtPrinter::QtPrinter(const QString& pdf_path, std::optional<PrintJob> answer)
    : printer_(QPrinter::HighResolution), scripted_(answer), pdf_(true) {
  printer_.setOutputFormat(QPrinter::PdfFormat);
  printer_.setOutputFileName(pdf_path);
}

QtPrinter::~QtPrinter() {
  if (painter_ && painter_->isActive()) painter_->end();
}

bool QtPrinter::choose(int highest_page, PrintJob& job) {
  printer_.setPageOrientation(job.orientation == PageOrientation::Portrait
                                  ? QPageLayout::Portrait
                                  : QPageLayout::Landscape);
  if (pdf_) {
    if (!scripted_) return false;
    job = *scripted_;
    return true;
  }
  QPrintDialog dialog(&printer_, parent_);
  dialog.setWindowTitle("Print");
  // Printing to a PDF file stays on offer, also on a machine without any printer.
  dialog.setOptions(QAbstractPrintDialog::PrintSelection | QAbstractPrintDialog::PrintPageRange |
                    QAbstractPrintDialog::PrintToFile);
  dialog.setMinMax(1, highest_page);
  dialog.setFromTo(1, highest_page);
  dialog.setPrintRange(QAbstractPrintDialog::Selection);
  if (dialog.exec() != QDialog::Accepted) return false;
  switch (dialog.printRange()) {
    case QAbstractPrintDialog::AllPages: job.range = PrintRange::All; break;
    case QAbstractPrintDialog::PageRange: job.range = PrintRange::Pages; break;
    default: job.range = PrintRange::Selection; break;
  }
  job.from_page = printer_.fromPage();
  job.to_page = printer_.toPage();
  job.orientation = printer_.pageLayout().orientation() == QPageLayout::Portrait
                        ? PageOrientation::Portrait
                        : PageOrientation::Landscape;
  return true;
}

void QtPrinter::print_to_file(const std::string& pdf_path) {
  to_file_ = true;
  printer_.setOutputFormat(QPrinter::PdfFormat);
  printer_.setOutputFileName(QString::fromStdString(pdf_path));
}

bool QtPrinter::begin() {
  error_.clear();
  // A PDF file named here or in the dialog; Qt reports PDF output also when it merely has no
  // printer to use, and then no file name.
  const bool to_pdf =
      printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty();
  if (!to_pdf && QPrinterInfo::availablePrinters().isEmpty()) {
    error_ = "no printer is available";
    return false;
  }
  return true;
}

// Painting starts at the first drawing, so the orientation set before it applies to page 1.
QPainter& QtPrinter::painter() {
  if (!painter_) painter_ = std::make_unique<QPainter>();
  if (!painter_->isActive()) {
    if (!painter_->begin(&printer_) && error_.empty()) error_ = "the printer cannot be started";
    painter_->setRenderHint(QPainter::Antialiasing, false);
  }
  return *painter_;
}

void QtPrinter::set_orientation(PageOrientation orientation) {
  printer_.setPageOrientation(orientation == PageOrientation::Portrait ? QPageLayout::Portrait
                                                                       : QPageLayout::Landscape);
}

QRectF QtPrinter::page_pixels() const {
  return printer_.pageLayout().paintRectPixels(printer_.resolution());
}

double QtPrinter::page_width_twips() { return page_pixels().width() * 1440.0 / printer_.resolution(); }
double QtPrinter::page_height_twips() {
  return page_pixels().height() * 1440.0 / printer_.resolution();
}

void QtPrinter::set_scale(double left, double top, double width, double height) {
  left_ = left;
  top_ = top;
  width_ = width == 0 ? 1 : width;
  height_ = height == 0 ? 1 : height;
}

QPointF QtPrinter::to_device(double x, double y) const {
  const QRectF page = page_pixels();
  return {(x - left_) / width_ * page.width(), (y - top_) / height_ * page.height()};
}

double QtPrinter::from_device_y(double device_y) const {
  return top_ + device_y / page_pixels().height() * height_;
}

// Widths count screen pixels, so a page looks like the chart whatever the printer's resolution.
void QtPrinter::set_line_width(int width) { line_width_ = width < 1 ? 1 : width; }

void QtPrinter::set_colour(uint32_t bgr) {
  colour_ = QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                   static_cast<int>((bgr >> 16) & 0xFF));
}

void QtPrinter::set_font_size(double points) { font_points_ = points > 0 ? points : 10; }

void QtPrinter::set_position(double x, double y) {
  x_ = x;
  y_ = y;
}

void QtPrinter::line(double x1, double y1, double x2, double y2) {
  QPainter& p = painter();
  p.setPen(QPen(colour_, line_width_ * printer_.resolution() / 96.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(to_device(x1, y1), to_device(x2, y2));
}

void QtPrinter::print(const std::string& text) {
  QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  all.remove(QLatin1Char('\r'));
  for (const QString& line : all.split(QLatin1Char('\n'))) print_line(line);
}

// One line of text with its top at the print position, wrapped at the page's right edge; the
// position moves to the next line, onto a new page past the foot of this one.
void QtPrinter::print_line(const QString& line) {
  QPainter& p = painter();
  QFont font = p.font();
  font.setPointSizeF(font_points_);
  font.setStyleStrategy(QFont::PreferNoShaping);  // no ligatures: the text extracts as written
  p.setFont(font);
  p.setPen(colour_);
  const QFontMetricsF metrics(font, &printer_);
  const QRectF page = page_pixels();
  qsizetype start = 0;
  do {
    QPointF at = to_device(x_, y_);
    if (at.y() + metrics.height() > page.height() && at.y() > metrics.height()) {
      printer_.newPage();
      y_ = from_device_y(0);
      at = to_device(x_, y_);
    }
    // Grows the printed piece while the next character still fits: the work per printed line
    // is bounded by the page's width, so a long line takes time in proportion to its length.
    const qsizetype left = line.size() - start;
    qsizetype fit = 1;
    while (fit < left &&
           at.x() + metrics.horizontalAdvance(line.mid(start, fit + 1)) <= page.width()) {
      fit += 1;
    }
    p.drawText(QPointF(at.x(), at.y() + metrics.ascent()), line.mid(start, fit));
    start += fit;
    y_ = from_device_y(at.y() + metrics.height());
  } while (start < line.size());
}

void QtPrinter::new_page() {
  painter();
  if (!printer_.newPage() && error_.empty()) error_ = "the printer cannot start a new page";
}

bool QtPrinter::end_document() {
  QPainter& p = painter();
  const bool ended = p.end();
  if (!ended && error_.empty()) error_ = "the printer did not take the document";
  if (printer_.printerState() == QPrinter::Error && error_.empty()) error_ = "printer error";
  if (to_file_ && !pdf_) {
    printer_.setOutputFileName(QString());  // back to the chosen printer
    printer_.setOutputFormat(QPrinter::NativeFormat);
  }
  to_file_ = false;
  return error_.empty();
}

}  // namespace zetra::platform
