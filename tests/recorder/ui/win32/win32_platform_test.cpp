// The Win32 back-ends beside the surface: pages drawn with GDI into pictures in memory (scale,
// lines, wrapping, pages), the clipboard read back as another program reads it, the input box
// and list chooser answered as a user would, the filter of the file dialogs.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win32/gdi_pages.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_printer.h"

namespace zetra::platform {
namespace {

// Pages as 32-bit pictures of 1100 x 850 pixels at 100 DPI (an 11 x 8.5 inch landscape page).
class MemoryPages final : public PageSink {
 public:
  ~MemoryPages() override {
    if (dc_) ::DeleteDC(dc_);
    for (HBITMAP page : pages) ::DeleteObject(page);
  }
  PageDevice start_page(PageOrientation orientation) override {
    orientations.push_back(orientation);
    PageDevice d = measure(orientation);
    void* bits = nullptr;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), d.width_px, -d.height_px, 1, 32, BI_RGB};
    if (!dc_) dc_ = ::CreateCompatibleDC(nullptr);
    pages.push_back(::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_.push_back(static_cast<uint32_t*>(bits));
    std::fill_n(bits_.back(), static_cast<size_t>(d.width_px) * d.height_px, 0xFFFFFFu);
    ::SelectObject(dc_, pages.back());
    d.dc = dc_;
    return d;
  }
  bool end_page() override { return ++ended, true; }
  PageDevice measure(PageOrientation orientation) override {
    const bool wide = orientation == PageOrientation::Landscape;
    return {nullptr, wide ? 1100 : 850, wide ? 850 : 1100, 100, 100};
  }
  // Painted (not white) pixels of a page's row band [top, bottom).
  int painted(size_t page, int left, int top, int right, int bottom) const {
    ::GdiFlush();
    const int width = orientations[page] == PageOrientation::Landscape ? 1100 : 850;
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        count += (bits_[page][static_cast<size_t>(y) * width + x] & 0xFFFFFFu) != 0xFFFFFFu;
      }
    }
    return count;
  }

  std::vector<HBITMAP> pages;
  std::vector<PageOrientation> orientations;
  int ended = 0;

 private:
  HDC dc_ = nullptr;
  std::vector<uint32_t*> bits_;
};

// Twips of the printable area, a line in a y-up user scale landing where the scale says, and
// the width of lines counted in screen pixels.
TEST(GdiPages, ScaleLinesAndPageSize) {
  MemoryPages sink;
  GdiPages pages(sink);
  pages.set_orientation(PageOrientation::Portrait);
  EXPECT_DOUBLE_EQ(pages.page_width_twips(), 8.5 * 1440);
  EXPECT_DOUBLE_EQ(pages.page_height_twips(), 11.0 * 1440);
  pages.set_scale(0, 100, 200, -100);  // y grows upwards from 0 at the foot to 100 at the top
  pages.set_line_width(1);
  pages.line(0, 50, 200, 50);  // across the middle
  EXPECT_TRUE(pages.finish());
  ASSERT_EQ(sink.pages.size(), 1u);
  EXPECT_EQ(sink.orientations[0], PageOrientation::Portrait);
  EXPECT_GT(sink.painted(0, 0, 548, 850, 552), 800);
  EXPECT_EQ(sink.painted(0, 0, 0, 850, 540), 0);
  EXPECT_EQ(sink.painted(0, 0, 560, 850, 1100), 0);
}

// Text wraps at the right edge and runs onto a new page at the foot; each page takes the
// orientation set before it; an empty document still ends one page.
TEST(GdiPages, TextWrapsAndRunsOntoNewPages) {
  MemoryPages sink;
  GdiPages pages(sink);
  pages.set_scale(0, 0, 1100, 850);  // device pixels
  pages.set_font_size(12);
  pages.set_position(1000, 0);
  pages.print("a long line that cannot fit into the last hundred pixels of the page");
  EXPECT_GT(sink.painted(0, 1000, 0, 1100, 80), 0);
  EXPECT_EQ(sink.painted(0, 0, 0, 1000, 850), 0);  // no character left of the print position
  std::string many;
  for (int k = 0; k < 80; ++k) many += "line " + std::to_string(k) + "\r\n";
  pages.set_position(0, 0);
  pages.print(many);
  EXPECT_EQ(sink.pages.size(), 2u);
  pages.set_orientation(PageOrientation::Portrait);
  EXPECT_TRUE(pages.new_page());
  pages.line(0, 0, 10, 10);
  EXPECT_TRUE(pages.finish());
  ASSERT_EQ(sink.orientations.size(), 3u);
  EXPECT_EQ(sink.orientations[2], PageOrientation::Portrait);
  EXPECT_EQ(sink.ended, 3);

  MemoryPages empty_sink;
  GdiPages empty(empty_sink);
  EXPECT_TRUE(empty.finish());
  EXPECT_EQ(empty_sink.ended, 1);
}

// A printer without a file printer refuses a PDF with a reason; printing to a file delegates
// every call, and the next document goes to the printer again.
class CountingPrinter final : public Printer {
 public:
  explicit CountingPrinter(int& calls) : calls_(calls) {}
  bool choose(int, PrintJob&) override { return true; }
  void print_to_file(const std::string&) override {}
  bool begin() override { return ++calls_, true; }
  void set_orientation(PageOrientation) override { ++calls_; }
  double page_width_twips() override { return 1000; }
  double page_height_twips() override { return 2000; }
  void set_scale(double, double, double, double) override { ++calls_; }
  void set_line_width(int) override { ++calls_; }
  void set_colour(uint32_t) override { ++calls_; }
  void set_font_size(double) override { ++calls_; }
  void set_position(double, double) override { ++calls_; }
  void print(const std::string&) override { ++calls_; }
  void line(double, double, double, double) override { ++calls_; }
  void new_page() override { ++calls_; }
  bool end_document() override { return ++calls_, true; }
  std::string error() const override { return {}; }

 private:
  int& calls_;
};

TEST(Win32Printer, PrintToFileDelegatesOneDocument) {
  Win32Printer without;
  without.print_to_file("C:\\out.pdf");
  EXPECT_FALSE(without.begin());
  EXPECT_FALSE(without.error().empty());

  int calls = 0;
  std::string path;
  Win32Printer printer([&](const std::string& p) {
    path = p;
    return std::make_unique<CountingPrinter>(calls);
  });
  printer.print_to_file("C:\\out.pdf");
  EXPECT_TRUE(printer.begin());
  EXPECT_EQ(printer.page_width_twips(), 1000);
  printer.set_scale(0, 0, 1, 1);
  printer.print("x");
  printer.line(0, 0, 1, 1);
  EXPECT_TRUE(printer.end_document());
  EXPECT_EQ(path, "C:\\out.pdf");
  EXPECT_EQ(calls, 5);
  printer.print("after the document");  // neither to the file nor anywhere else
  EXPECT_EQ(calls, 5);
}

std::wstring clipboard_text() {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return L"<closed>";
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

// The table's text as Unicode with CR LF and the degree sign; a picture as a bottom-up DIB that
// replaces the text; clear empties it.
TEST(Win32Clipboard, TextAndBitmapAsOtherProgramsReadThem) {
  Win32Clipboard clipboard;
  const std::string table = "Time\tCH1 T [\xC2\xB0" "C]\r\n0.0\t36.1\r\n";
  clipboard.set_text(table);
  EXPECT_EQ(clipboard_text(), to_utf16(table));
  EXPECT_EQ(clipboard_text().substr(12, 1), L"\u00B0");

  Bitmap picture{2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}};
  clipboard.set_bitmap(picture);
  ASSERT_TRUE(::OpenClipboard(nullptr));
  EXPECT_EQ(::GetClipboardData(CF_UNICODETEXT), nullptr);
  HANDLE dib = ::GetClipboardData(CF_DIB);
  ASSERT_NE(dib, nullptr);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(dib));
  EXPECT_EQ(header->biWidth, 2);
  EXPECT_EQ(header->biHeight, 2);  // bottom-up
  EXPECT_EQ(header->biBitCount, 32);
  const auto* rows = reinterpret_cast<const uint32_t*>(header + 1);
  EXPECT_EQ(rows[0] & 0xFFFFFFu, 0x0000FFu);  // the bottom row first: blue, white
  EXPECT_EQ(rows[3] & 0xFFFFFFu, 0x00FF00u);  // the top row: red, green
  ::GlobalUnlock(dib);
  ::CloseClipboard();
  clipboard.clear();
  EXPECT_EQ(clipboard_text(), L"");
}

TEST(Win32Dialogs, FileFilterPairsEndEachPartWithAZero) {
  const std::wstring filter = file_filter("Zetra Files(*.ztr)|*.ztr|All Files(*.*)|*.*");
  // Each label names its pattern once, after a space.
  EXPECT_EQ(filter, std::wstring(L"Zetra Files (*.ztr)\0*.ztr\0All Files (*.*)\0*.*\0\0", 47));
  EXPECT_EQ(file_filter("PDF Files (*.pdf)|*.pdf"),
            std::wstring(L"PDF Files (*.pdf)\0*.pdf\0\0", 25));
}

// A user answering the next dialog of this process: `answer` runs on the dialog's window.
template <class Answer>
std::thread answer_dialog(Answer answer) {
  return std::thread([answer] {
    for (int tries = 0; tries < 500; ++tries) {
      HWND dialog = ::FindWindowW(L"#32770", nullptr);
      DWORD process = 0;
      if (dialog) ::GetWindowThreadProcessId(dialog, &process);
      if (dialog && process == ::GetCurrentProcessId() && ::IsWindowVisible(dialog)) {
        answer(dialog);
        return;
      }
      ::Sleep(10);
    }
  });
}

// The input box shows the prompt and default, hands back what was typed on OK and nothing on
// Cancel; the chooser hands back the index picked; the message box maps its buttons.
TEST(Win32Dialogs, InputBoxChooserAndMessageBoxAnswer) {
  Win32Dialogs dialogs;
  std::wstring prompt_seen, default_seen;
  std::thread user = answer_dialog([&](HWND d) {
    wchar_t text[64] = L"";
    ::GetDlgItemTextW(d, kInputBoxPrompt, text, 64);
    prompt_seen = text;
    ::GetDlgItemTextW(d, kInputBoxEdit, text, 64);
    default_seen = text;
    ::SetDlgItemTextW(d, kInputBoxEdit, L"12.5 \u00B5A");
    ::PostMessageW(d, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dialogs.input_box("Span (pA):", "CH1", "100"), "12.5 \xC2\xB5" "A");
  user.join();
  EXPECT_EQ(prompt_seen, L"Span (pA):");
  EXPECT_EQ(default_seen, L"100");

  user = answer_dialog([](HWND d) { ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(dialogs.input_box("Span (pA):", "CH1", "100"), "");
  user.join();

  user = answer_dialog([](HWND d) {
    ::SendDlgItemMessageW(d, kChooserList, LB_SETCURSEL, 2, 0);
    ::PostMessageW(d, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(dialogs.choose_item("Port:", "COM1", {"COM3", "COM7", "COM9"}, 0), 2);
  user.join();

  user = answer_dialog([](HWND d) { ::PostMessageW(d, WM_COMMAND, IDNO, 0); });
  EXPECT_EQ(dialogs.message_box("Save changes?", "zetra", MessageIcon::Question,
                                MessageButtons::YesNoCancel),
            MessageAnswer::No);
  user.join();
}

}  // namespace
}  // namespace zetra::platform
