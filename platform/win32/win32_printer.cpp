#include "platform/win32/win32_printer.h"

#include <commdlg.h>

#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

PageOrientation orientation_of(HGLOBAL dev_mode, PageOrientation otherwise) {
  if (!dev_mode) return otherwise;
  const auto* mode = static_cast<const DEVMODEW*>(::GlobalLock(dev_mode));
  if (!mode) return otherwise;
  const PageOrientation o = mode->dmOrientation == DMORIENT_PORTRAIT ? PageOrientation::Portrait
                                                                     : PageOrientation::Landscape;
  ::GlobalUnlock(dev_mode);
  return o;
}

std::string last_error(const char* what) {
  return std::string(what) + ": " + system_error_text(::GetLastError());
}

}  // namespace

Win32Printer::Win32Printer(FilePrinter file_printer) : file_printer_(std::move(file_printer)) {}

Win32Printer::~Win32Printer() {
  pages_.reset();
  release_printer();
}

void Win32Printer::release_printer() {
  if (dc_) ::DeleteDC(dc_);
  if (dev_mode_) ::GlobalFree(dev_mode_);
  if (dev_names_) ::GlobalFree(dev_names_);
  dc_ = nullptr;
  dev_mode_ = dev_names_ = nullptr;
}

void Win32Printer::set_device_orientation(PageOrientation orientation) {
  if (!dev_mode_ || !dc_) return;
  auto* mode = static_cast<DEVMODEW*>(::GlobalLock(dev_mode_));
  if (!mode) return;
  const short wanted = orientation == PageOrientation::Portrait ? DMORIENT_PORTRAIT
                                                                : DMORIENT_LANDSCAPE;
  if (mode->dmOrientation != wanted || !(mode->dmFields & DM_ORIENTATION)) {
    mode->dmOrientation = wanted;
    mode->dmFields |= DM_ORIENTATION;
    ::ResetDCW(dc_, mode);  // between pages only: the next page takes the new orientation
  }
  ::GlobalUnlock(dev_mode_);
}

// The print dialog as a property sheet: all pages, the selection (the default) or a range of
// 1..highest_page, and the printer's own settings, orientation among them.
bool Win32Printer::choose(int highest_page, PrintJob& job) {
  if (!dc_) open_default_printer();
  set_device_orientation(job.orientation);
  PRINTPAGERANGE range{1, static_cast<DWORD>(std::max(1, highest_page))};
  PRINTDLGEXW pd{};
  pd.lStructSize = sizeof(pd);
  pd.hwndOwner = owner_ ? owner_ : ::GetDesktopWindow();
  pd.hDevMode = dev_mode_;
  pd.hDevNames = dev_names_;
  pd.Flags = PD_RETURNDC | PD_SELECTION | PD_NOCURRENTPAGE | PD_USEDEVMODECOPIESANDCOLLATE;
  pd.nPageRanges = 1;
  pd.nMaxPageRanges = 1;
  pd.lpPageRanges = &range;
  pd.nMinPage = 1;
  pd.nMaxPage = range.nToPage;
  pd.nCopies = 1;
  pd.nStartPage = START_PAGE_GENERAL;
  const HRESULT result = ::PrintDlgExW(&pd);
  if (pd.hDevMode != dev_mode_ || pd.hDevNames != dev_names_) {
    if (dc_) ::DeleteDC(dc_);
    dc_ = nullptr;
    dev_mode_ = pd.hDevMode;
    dev_names_ = pd.hDevNames;
  }
  if (FAILED(result) || pd.dwResultAction != PD_RESULT_PRINT) {
    if (pd.hDC) ::DeleteDC(pd.hDC);
    return false;
  }
  if (dc_) ::DeleteDC(dc_);
  dc_ = pd.hDC;
  if (pd.Flags & PD_PAGENUMS) {
    job.range = PrintRange::Pages;
    job.from_page = static_cast<int>(range.nFromPage);
    job.to_page = static_cast<int>(range.nToPage);
  } else {
    job.range = pd.Flags & PD_SELECTION ? PrintRange::Selection : PrintRange::All;
  }
  job.orientation = orientation_of(dev_mode_, job.orientation);
  return true;
}

bool Win32Printer::open_default_printer() {
  PRINTDLGW pd{};
  pd.lStructSize = sizeof(pd);
  pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  if (!::PrintDlgW(&pd) || !pd.hDC) return false;
  release_printer();
  dc_ = pd.hDC;
  dev_mode_ = pd.hDevMode;
  dev_names_ = pd.hDevNames;
  return true;
}

void Win32Printer::print_to_file(const std::string& pdf_path) {
  if (file_printer_) {
    to_file_ = file_printer_(pdf_path);
  } else {
    file_missing_ = true;
  }
}

bool Win32Printer::begin() {
  error_.clear();
  if (to_file_) return to_file_->begin();
  if (file_missing_) {
    file_missing_ = false;
    error_ = "this program cannot print to a file";
    return false;
  }
  if (!dc_ && !open_default_printer()) {
    error_ = "no printer is available";
    return false;
  }
  DOCINFOW info{};
  info.cbSize = sizeof(info);
  info.lpszDocName = L"zetra";
  if (::StartDocW(dc_, &info) <= 0) {
    error_ = last_error("the printer cannot be started");
    return false;
  }
  pages_ = std::make_unique<GdiPages>(static_cast<PageSink&>(*this));
  pages_->set_orientation(orientation_of(dev_mode_, PageOrientation::Landscape));
  return true;
}

PageDevice Win32Printer::measure(PageOrientation orientation) {
  set_device_orientation(orientation);
  PageDevice d;
  d.dc = dc_;
  if (!dc_) return d;
  d.width_px = std::max(1, ::GetDeviceCaps(dc_, HORZRES));
  d.height_px = std::max(1, ::GetDeviceCaps(dc_, VERTRES));
  d.dpi_x = std::max(1, ::GetDeviceCaps(dc_, LOGPIXELSX));
  d.dpi_y = std::max(1, ::GetDeviceCaps(dc_, LOGPIXELSY));
  return d;
}

PageDevice Win32Printer::start_page(PageOrientation orientation) {
  PageDevice d = measure(orientation);
  if (!dc_ || ::StartPage(dc_) <= 0) {
    if (error_.empty()) error_ = last_error("the printer cannot start a page");
    d.dc = nullptr;
  }
  return d;
}

bool Win32Printer::end_page() {
  if (dc_ && ::EndPage(dc_) > 0) return true;
  if (error_.empty()) error_ = last_error("the printer did not take a page");
  return false;
}

void Win32Printer::set_orientation(PageOrientation orientation) {
  if (to_file_) return to_file_->set_orientation(orientation);
  if (pages_) pages_->set_orientation(orientation);
}

double Win32Printer::page_width_twips() {
  if (to_file_) return to_file_->page_width_twips();
  return pages_ ? pages_->page_width_twips() : 1;
}

double Win32Printer::page_height_twips() {
  if (to_file_) return to_file_->page_height_twips();
  return pages_ ? pages_->page_height_twips() : 1;
}

void Win32Printer::set_scale(double left, double top, double width, double height) {
  if (to_file_) return to_file_->set_scale(left, top, width, height);
  if (pages_) pages_->set_scale(left, top, width, height);
}

void Win32Printer::set_line_width(int width) {
  if (to_file_) return to_file_->set_line_width(width);
  if (pages_) pages_->set_line_width(width);
}

void Win32Printer::set_colour(uint32_t bgr) {
  if (to_file_) return to_file_->set_colour(bgr);
  if (pages_) pages_->set_colour(bgr);
}

void Win32Printer::set_font_size(double points) {
  if (to_file_) return to_file_->set_font_size(points);
  if (pages_) pages_->set_font_size(points);
}

void Win32Printer::set_position(double x, double y) {
  if (to_file_) return to_file_->set_position(x, y);
  if (pages_) pages_->set_position(x, y);
}

void Win32Printer::print(const std::string& text) {
  if (to_file_) return to_file_->print(text);
  if (pages_) pages_->print(text);
}

void Win32Printer::line(double x1, double y1, double x2, double y2) {
  if (to_file_) return to_file_->line(x1, y1, x2, y2);
  if (pages_) pages_->line(x1, y1, x2, y2);
}

void Win32Printer::new_page() {
  if (to_file_) return to_file_->new_page();
  if (pages_) pages_->new_page();
}

// The next document goes to the chosen printer again, also after one sent to a file.
bool Win32Printer::end_document() {
  if (to_file_) {
    const bool sent = to_file_->end_document();
    error_ = to_file_->error();
    to_file_.reset();
    return sent;
  }
  if (!pages_) {
    if (error_.empty()) error_ = "no document was started";
    return false;
  }
  bool sent = pages_->finish();
  pages_.reset();
  if (::EndDoc(dc_) <= 0) {
    if (error_.empty()) error_ = last_error("the printer did not take the document");
    sent = false;
  }
  return sent && error_.empty();
}

std::string Win32Printer::error() const { return to_file_ ? to_file_->error() : error_; }

}  // namespace zetra::platform
