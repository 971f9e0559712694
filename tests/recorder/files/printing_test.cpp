// Printing: pages and ranges, view_start put back, the page's stretch of samples, the foot line;
// and a real PDF checked by text extraction.
#include "recorder/files/printing.h"

#include <gtest/gtest.h>

#include <QPrinterInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "platform/qt/qt_printer.h"
#include "recorder/files/files_subsystem.h"
#include "tests/recorder/files/temp_folder.h"
#include "tests/support/recorder_harness.h"

namespace zetra::files {
namespace {

using platform::PageOrientation;
using platform::PrintJob;
using platform::PrintRange;
using testing::RecorderHarness;

void fill(RecorderState& s, int n) {
  for (int i = 1; i <= n; ++i) s.rec_cur1[i] = static_cast<float>(i);
  s.rec_next = static_cast<float>(n + 1);
  s.shown_count = s.rec_next;
}

PrintJob job(PrintRange range, int from = 1, int to = 1,
             PageOrientation o = PageOrientation::Landscape) {
  PrintJob j;
  j.range = range;
  j.from_page = from;
  j.to_page = to;
  j.orientation = o;
  return j;
}

// The largest chart x of the first trace's lines on each page (the CH1 colour's lines).
std::vector<double> last_x_per_page(const std::vector<std::string>& calls, uint32_t colour) {
  std::vector<double> pages{-1};
  bool drawing = false;
  for (const std::string& c : calls) {
    if (c == "new_page") pages.push_back(-1);
    if (c.rfind("colour ", 0) == 0) drawing = c == "colour " + std::to_string(colour);
    if (drawing && c.rfind("line ", 0) == 0) {
      double x1, y1, x2, y2;
      std::sscanf(c.c_str(), "line %lf %lf %lf %lf", &x1, &y1, &x2, &y2);
      pages.back() = std::max(pages.back(), x2);
    }
  }
  return pages;
}

TEST(Printing, PagesRangesAndTheViewPutBack) {
  RecorderHarness h;
  RecorderState& s = h.state();
  EXPECT_EQ(page_count(s), 1);  // nothing recorded: still one page
  fill(s, 1000);                // 1000 samples at 400 per page: three pages
  EXPECT_EQ(page_count(s), 3);
  s.color_cur1 = 7;
  s.view_start = 321;
  h.printer.answer = job(PrintRange::All);
  h.recorder.press("pprint");
  EXPECT_EQ(h.printer.highest_page_offered, 3);
  EXPECT_EQ(s.view_start, 321.0f);
  EXPECT_EQ(h.printer.calls_starting("new_page").size(), 2u);
  EXPECT_EQ(h.printer.calls_starting("orientation 2").size(), 3u);
  EXPECT_EQ(h.printer.calls_starting("scale").front(), "scale -60 2160 520 -2600");
  // Page 3 starts at sample 801 and stops at sample 1000, the newest: x = 199.
  EXPECT_EQ(last_x_per_page(h.printer.calls, 7), (std::vector<double>{400, 400, 199}));
  const auto texts = h.printer.calls_starting("text");
  // The foot line, then the four legend entries.
  const std::string foot = "text 0 -160 DIV: 10s_200_500_10\xC2\xB0" "C_10\xC2\xB0" "C  " +
                           s.file_name + "  Printed 20";
  EXPECT_EQ(texts[texts.size() - 5].rfind(foot, 0), 0u) << texts[texts.size() - 5];
  EXPECT_NE(std::find(texts.begin(), texts.end(), "text 0 -40 400s"), texts.end());  // sample 801

  h.printer.calls.clear();
  h.printer.answer = job(PrintRange::Pages, 2, 2, PageOrientation::Portrait);
  h.recorder.press("cprint");
  EXPECT_EQ(h.printer.calls_starting("new_page").size(), 0u);
  EXPECT_EQ(h.printer.calls_starting("scale").front(), "scale -60 2200 520 -3800");
  EXPECT_EQ(h.printer.calls_starting("text").front(), "text 0 -40 200s");  // sample 401

  h.printer.calls.clear();
  h.printer.answer = job(PrintRange::Selection);
  h.recorder.press("pprint");
  EXPECT_EQ(last_x_per_page(h.printer.calls, 7), (std::vector<double>{400}));
  EXPECT_EQ(h.printer.calls_starting("text").front(), "text 0 -40 160s");  // from view_start 321

  h.printer.calls.clear();
  h.printer.answer.reset();  // cancelled
  h.recorder.press("pprint");
  EXPECT_TRUE(h.printer.calls.empty());
  h.printer.answer = job(PrintRange::All);
  h.printer.fails_at_end = true;
  h.recorder.press("pprint");
  EXPECT_EQ(s.view_start, 321.0f);
  EXPECT_EQ(h.dialogs.messages.back().text, "Cannot print: the printer stopped.");
  EXPECT_EQ(h.window().screen_pointer, Pointer::Default);
}

// A marker dip far below the frame and a spike far above it: on paper every trace segment stays
// inside the frame, cut at its edges. Each of the four traces has its scale, named with its unit.
TEST(Printing, CurvesStayInTheFrameAndEveryTraceHasItsScale) {
  RecorderHarness h;
  RecorderState& s = h.state();
  fill(s, 300);
  s.rec_cur1[100] = -10000;  // a marker
  s.rec_cur1[200] = 90000;
  s.rec_cur2[150] = -20000;
  h.printer.answer = job(PrintRange::Selection);
  h.recorder.press("pprint");
  int trace_lines = 0;
  bool reaches_bottom = false, reaches_top = false;
  bool in_curves = false;
  for (const std::string& c : h.printer.calls) {
    if (c.rfind("width ", 0) == 0) in_curves = c == "width 1" && !in_curves ? true : in_curves;
    if (c.rfind("font ", 0) == 0) in_curves = false;
    if (!in_curves || c.rfind("line ", 0) != 0) continue;
    double x1, y1, x2, y2;
    ASSERT_EQ(std::sscanf(c.c_str(), "line %lf %lf %lf %lf", &x1, &y1, &x2, &y2), 4);
    ++trace_lines;
    for (double x : {x1, x2}) EXPECT_TRUE(x >= 0 && x <= 400) << c;
    for (double y : {y1, y2}) EXPECT_TRUE(y >= 0 && y <= 2000) << c;
    reaches_bottom = reaches_bottom || y1 == 0 || y2 == 0;
    reaches_top = reaches_top || y1 == 2000 || y2 == 2000;
  }
  EXPECT_GT(trace_lines, 4 * 250);
  EXPECT_TRUE(reaches_bottom);  // the dip is cut at the frame, not dropped
  EXPECT_TRUE(reaches_top);
  const auto texts = h.printer.calls_starting("text");
  const auto has = [&](const std::string& text) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
      return t.size() >= text.size() && t.compare(t.size() - text.size(), text.size(), text) == 0;
    });
  };
  const std::string deg = "\xC2\xB0" "C";
  for (const char* name : {" CH1 pA", " CH2 pA"}) EXPECT_TRUE(has(name)) << name;
  EXPECT_TRUE(has(" CH1 " + deg));
  EXPECT_TRUE(has(" CH2 " + deg));
  EXPECT_TRUE(has(" 1800"));   // CH1 top: 2000 - 200
  EXPECT_TRUE(has(" 4500"));   // CH2 top: 5000 - 500
  EXPECT_TRUE(has(" -500"));   // CH2 bottom
  EXPECT_TRUE(has(" 100" + deg));
  h.recorder.press("psnm");
  h.printer.calls.clear();
  h.recorder.press("pprint");
  const auto nm = h.printer.calls_starting("text");
  EXPECT_NE(std::find_if(nm.begin(), nm.end(),
                         [](const std::string& t) { return t.find(" CH2 nM") != t.npos; }),
            nm.end());
  EXPECT_EQ(printed_now().rfind("Printed 20", 0), 0u);
  EXPECT_EQ(printed_now().size(), std::string("Printed 2026-12-07 11:30").size());
}

// Runs a poppler tool and returns its standard output.
std::string run(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return out;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
  return out;
}

TEST(Printing, AllPagesToPdfCarryTheFootLineUpright) {
  testing::TempFolder folder;
  const std::string pdf = folder.file("chart.pdf");
  platform::QtPrinter printer(QString::fromStdString(pdf), job(PrintRange::All));
  RecorderHarness h;
  h.recorder.context().platform.printer = &printer;
  fill(h.state(), 1000);
  h.recorder.press("pprint");
  ASSERT_TRUE(std::filesystem::exists(pdf));
  const std::string info = run("pdfinfo '" + pdf + "'");
  const size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + pages + 6), 3) << info;
  const std::string text = run("pdftotext -layout '" + pdf + "' -");
  // Layout mode may narrow the two spaces before the file name to one.
  EXPECT_NE(text.find("DIV: 10s_200_500_10\xC2\xB0" "C_10\xC2\xB0" "C /opt/zetra/file1.ztr"),
            std::string::npos)
      << text;
  for (const char* name : {"CH1 pA", "CH2 pA", "CH1 \xC2\xB0" "C", "CH2 \xC2\xB0" "C", "4500"}) {
    EXPECT_NE(text.find(name), std::string::npos) << name;
  }
  // Upright and at the foot of a landscape page: the word boxes read left to right, low down.
  const std::string boxes = run("pdftotext -bbox -f 1 -l 1 '" + pdf + "' -");
  const size_t at = boxes.find(">DIV:<");
  ASSERT_NE(at, std::string::npos) << boxes;
  const size_t line = boxes.rfind("<word", at);
  double x_min, y_min, x_max, y_max;
  ASSERT_EQ(std::sscanf(boxes.c_str() + line,
                        "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &x_min,
                        &y_min, &x_max, &y_max),
            4);
  EXPECT_LT(x_min, x_max);
  EXPECT_LT(y_min, y_max);
  const size_t page = boxes.find("<page width=\"");
  double width, height;
  ASSERT_EQ(std::sscanf(boxes.c_str() + page, "<page width=\"%lf\" height=\"%lf\"", &width,
                        &height),
            2);
  EXPECT_GT(width, height);  // landscape
  EXPECT_GT(y_min, 0.8 * height);
}

// The system's printer object on a machine without printers: Print to PDF still writes the
// chart's pages and the notes to the files named in the save dialog, and the next document goes
// to the printer again.
TEST(Printing, PdfWithoutAnyPrinter) {
  testing::TempFolder folder;
  platform::QtPrinter printer;
  RecorderHarness h;
  h.recorder.context().platform.printer = &printer;
  fill(h.state(), 1000);
  h.window()["nt1"].caption = "Notes:\nbuffer pH 7.4";
  h.dialogs.file_answers = {folder.file("chart.pdf"), folder.file("notes.pdf")};
  h.recorder.press("ppdf");
  h.recorder.press("ppnotespdf");
  ASSERT_EQ(h.dialogs.files.size(), 2u);
  EXPECT_EQ(h.dialogs.files[0].default_text, "/opt/zetra/file1.pdf");
  EXPECT_EQ(h.dialogs.files[1].default_text, "/opt/zetra/file1-notes.pdf");
  // The dialog shows the pattern once: "PDF Files (*.pdf)".
  ASSERT_EQ(h.dialogs.file_filters.size(), 2u);
  for (const std::string& filter : h.dialogs.file_filters) {
    const size_t bar = filter.find('|');
    ASSERT_NE(bar, std::string::npos) << filter;
    EXPECT_EQ(platform::filter_label(filter.substr(0, bar), filter.substr(bar + 1)),
              "PDF Files (*.pdf)");
  }
  EXPECT_TRUE(h.dialogs.messages.empty()) << h.dialogs.messages.front().text;
  const std::string chart_info = run("pdfinfo '" + folder.file("chart.pdf") + "'");
  EXPECT_NE(chart_info.find("Pages:           3"), std::string::npos) << chart_info;
  const std::string notes = run("pdftotext '" + folder.file("notes.pdf") + "' -");
  EXPECT_NE(notes.find("buffer pH 7.4"), std::string::npos) << notes;
  // A cancelled file dialog prints nothing.
  h.dialogs.file_answers.clear();
  h.recorder.press("ppdf");
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_EQ(printer.begin(), !QPrinterInfo::availablePrinters().isEmpty());
}

// A filter's label shows its pattern exactly once, with a space before it, whether the label
// named the pattern already (with or without the space) or not.
TEST(Printing, FileDialogLabelsNameThePatternOnce) {
  EXPECT_EQ(platform::filter_label("PDF Files(*.pdf)", "*.pdf"), "PDF Files (*.pdf)");
  EXPECT_EQ(platform::filter_label("PDF Files (*.pdf)", "*.pdf"), "PDF Files (*.pdf)");
  EXPECT_EQ(platform::filter_label("PDF Files", "*.pdf"), "PDF Files (*.pdf)");
  EXPECT_EQ(platform::filter_label("Zetra Files(*.ztr)", "*.ztr"), "Zetra Files (*.ztr)");
  // Another pattern in the label is the label's own text.
  EXPECT_EQ(platform::filter_label("Old (*.dat)", "*.ztr"), "Old (*.dat) (*.ztr)");
}

// A 30000-character notes line wraps at the page's right edge into many printed lines, all of
// its characters in order, in time proportional to its length (a second at most here; measuring
// ever shorter prefixes of the rest of the line took minutes).
TEST(Printing, LongNotesLineWrapsAtThePageEdgeQuickly) {
  testing::TempFolder folder;
  const std::string pdf = folder.file("notes.pdf");
  platform::QtPrinter printer(QString::fromStdString(pdf), job(PrintRange::All));
  RecorderHarness h;
  h.recorder.context().platform.printer = &printer;
  std::string notes;
  for (int i = 0; i < 3000; ++i) notes += "abcdefghij";
  h.recorder.window()["nt1"].caption = notes;
  const auto started = std::chrono::steady_clock::now();
  h.recorder.press("ppnotes");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 5.0);
  const std::string boxes = run("pdftotext -bbox '" + pdf + "' -");
  const size_t page = boxes.find("<page width=\"");
  double width = 0;
  ASSERT_EQ(std::sscanf(boxes.c_str() + page, "<page width=\"%lf\"", &width), 1);
  std::string joined;
  int lines = 0;
  for (size_t at = boxes.find("<word"); at != std::string::npos; at = boxes.find("<word", at + 1)) {
    double x_min, y_min, x_max;
    ASSERT_EQ(std::sscanf(boxes.c_str() + at, "<word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\"",
                          &x_min, &y_min, &x_max),
              3);
    EXPECT_LE(x_max, width + 0.5);
    const size_t from = boxes.find('>', at) + 1;
    joined += boxes.substr(from, boxes.find('<', from) - from);
    ++lines;
  }
  EXPECT_EQ(joined, notes);
  EXPECT_GT(lines, 200);  // some 300 characters at most fit across a page
}

// Deep in a large store the chart's samples are picked in double precision: at 2097151.375 the
// third pixel shows sample 2097153 (a float sum would round to 2097154 instead).
TEST(Printing, DeepInALargeStoreEachPixelShowsItsOwnSample) {
  RecorderHarness h;
  RecorderState& s = h.state();
  s.allocate(5000000);
  ASSERT_EQ(s.rec_capacity, 5000000.0f);
  for (size_t i = 2097100; i < 2097700; ++i) s.rec_cur1[i] = 1000;
  s.rec_cur1[2097153] = 500;
  s.rec_cur1[2097154] = 1500;
  s.rec_next = s.shown_count = 2097700;
  s.view_start = 2097151.375f;
  h.printer.answer = job(PrintRange::Selection);
  h.recorder.press("pprint");
  std::map<double, double> y_at;  // the CH1 curve: end point of each line by its x
  bool drawing = false;
  for (const std::string& c : h.printer.calls) {
    if (c.rfind("colour ", 0) == 0) {
      drawing = c == "colour " + std::to_string(static_cast<uint32_t>(s.color_cur1));
    }
    double x1, y1, x2, y2;
    if (drawing && std::sscanf(c.c_str(), "line %lf %lf %lf %lf", &x1, &y1, &x2, &y2) == 4 &&
        !y_at.count(x2)) {
      y_at[x2] = y2;
    }
  }
  ASSERT_TRUE(y_at.count(1) && y_at.count(2) && y_at.count(3));
  // The value plus the 200 pA of the default CH1 offset.
  EXPECT_EQ(y_at[1], 1200.0);  // sample 2097152
  EXPECT_EQ(y_at[2], 700.0);   // sample 2097153
  EXPECT_EQ(y_at[3], 1700.0);  // sample 2097154
}

}  // namespace
}  // namespace zetra::files
