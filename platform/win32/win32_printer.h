// The printer through GDI: the system's print dialog (page range, orientation) and printers, the
// pages drawn by GdiPages. A document sent to a file goes to the file printer handed in (a PDF
// writer), so printing to PDF works on a machine with no printer at all.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/printer.h"
#include "platform/win32/gdi_pages.h"

namespace zetra::platform {

class Win32Printer final : public Printer, private PageSink {
 public:
  using FilePrinter = std::function<std::unique_ptr<Printer>(const std::string& pdf_path)>;
  explicit Win32Printer(FilePrinter file_printer = {});
  ~Win32Printer() override;
  Win32Printer(const Win32Printer&) = delete;
  Win32Printer& operator=(const Win32Printer&) = delete;

  void set_owner(HWND owner) { owner_ = owner; }

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
  std::string error() const override;

 private:
  PageDevice start_page(PageOrientation orientation) override;
  bool end_page() override;
  PageDevice measure(PageOrientation orientation) override;
  bool open_default_printer();
  void set_device_orientation(PageOrientation orientation);
  void release_printer();

  FilePrinter file_printer_;
  std::unique_ptr<Printer> to_file_;  // this document only goes to a file
  HWND owner_ = nullptr;
  HDC dc_ = nullptr;               // the chosen printer
  HGLOBAL dev_mode_ = nullptr;     // its settings, orientation included
  HGLOBAL dev_names_ = nullptr;
  std::unique_ptr<GdiPages> pages_;  // the document being drawn
  bool file_missing_ = false;  // a file was asked for and no file printer is at hand
  std::string error_;
};

}  // namespace zetra::platform
