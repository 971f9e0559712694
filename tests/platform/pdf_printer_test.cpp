// The PDF printer: a well-formed file on every system (offsets, pages, sizes); where poppler's
// tools are installed, also the text as a reader extracts it, where it sits, and the rendering.
#include "platform/pdf/pdf_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/pdf/win_ansi.h"
#include "tests/support/recorder_harness.h"

namespace zetra::platform {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

fs::path scratch(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / "zetra-pdf-test";
  fs::create_directories(folder);
  return folder / name;
}

// Every cross-reference entry points at its object, startxref at the table, each stream's
// length at its end; returns the MediaBox of each page in order.
std::vector<std::string> check_structure(const std::string& pdf) {
  EXPECT_EQ(pdf.rfind("%PDF-1.4\n", 0), 0u);
  const size_t startxref = pdf.rfind("startxref\n");
  EXPECT_NE(startxref, std::string::npos);
  const size_t xref = std::stoul(pdf.substr(startxref + 10));
  EXPECT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
  std::istringstream table(pdf.substr(xref + 5));
  int first = 0, count = 0;
  table >> first >> count;
  std::string offset, generation, kind;
  table >> offset >> generation >> kind;  // the free head of the list
  for (int n = 1; n < count; ++n) {
    table >> offset >> generation >> kind;
    EXPECT_EQ(kind, "n");
    EXPECT_EQ(pdf.compare(std::stoul(offset), std::to_string(n).size() + 6,
                          std::to_string(n) + " 0 obj"), 0) << "object " << n;
  }
  const std::regex stream(R"(/Length (\d+) >>\nstream\n)");
  for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), stream); it != std::sregex_iterator();
       ++it) {
    const size_t end = static_cast<size_t>(it->position() + it->length()) + std::stoul((*it)[1]);
    EXPECT_EQ(pdf.compare(end, 11, "\nendstream\n"), 0);
  }
  std::vector<std::string> boxes;
  const std::regex box(R"(/MediaBox \[([^\]]*)\])");
  for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), box); it != std::sregex_iterator(); ++it) {
    boxes.push_back((*it)[1]);
  }
  return boxes;
}

TEST(PdfPrinterTest, PagesKeepTheirOrientationAndTheFileIsWellFormed) {
  const fs::path path = scratch("orientation.pdf");
  PdfPrinter printer(path.string());
  ASSERT_TRUE(printer.begin());
  printer.set_orientation(PageOrientation::Landscape);
  EXPECT_EQ(printer.page_width_twips(), 16838 - 2 * 567);
  EXPECT_EQ(printer.page_height_twips(), 11906 - 2 * 567);
  printer.set_scale(0, 0, 100, 100);
  printer.line(0, 0, 100, 100);
  printer.new_page();
  printer.set_orientation(PageOrientation::Portrait);  // the new, still empty page takes it
  EXPECT_EQ(printer.page_width_twips(), 11906 - 2 * 567);
  printer.set_position(10, 10);
  printer.print("(a\\b) 1");
  printer.new_page();
  ASSERT_TRUE(printer.end_document()) << printer.error();
  const std::string pdf = read_file(path);
  EXPECT_EQ(check_structure(pdf),
            (std::vector<std::string>{"0 0 841.9 595.3", "0 0 595.3 841.9", "0 0 595.3 841.9"}));
  EXPECT_NE(pdf.find("(\\(a\\\\b\\) 1) Tj"), std::string::npos);
  EXPECT_NE(pdf.find("/BaseFont /Helvetica /Encoding /WinAnsiEncoding"), std::string::npos);
  EXPECT_FALSE(fs::exists(path.string() + ".writing"));
}

TEST(PdfPrinterTest, TextBecomesWindows1252AndNoFileMeansAnError) {
  EXPECT_EQ(pdf::to_win_ansi("24.5 \xC2\xB0""C \xE2\x82\xAC M\xC3\xBCller \xE4\xB8\xAD\t\xFF\r\n"),
            "24.5 \xB0""C \x80 M\xFCller ? ?\r\n");
  EXPECT_EQ(pdf::to_win_ansi("\xE0\x80\xAF|\xC3"), "???|?");  // overlong, then cut short
  EXPECT_EQ(pdf::helvetica_width('W'), 944);
  EXPECT_EQ(pdf::helvetica_width(0xB0), 400);

  PdfPrinter unnamed;
  EXPECT_FALSE(unnamed.begin());
  EXPECT_FALSE(unnamed.error().empty());
  const fs::path missing = scratch("no such folder") / "x.pdf";
  PdfPrinter printer(missing.string());
  ASSERT_TRUE(printer.begin());
  printer.print("x");
  EXPECT_FALSE(printer.end_document());
  EXPECT_NE(printer.error().find(missing.string()), std::string::npos) << printer.error();
  EXPECT_FALSE(fs::exists(missing));
}

#ifndef _WIN32
// Runs a shell command and returns what it printed; empty when it failed.
std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  return pclose(pipe) == 0 ? out : std::string();
}

bool have_poppler() { return !run("command -v pdftotext pdftoppm").empty(); }

struct Word {
  double x_min, y_min, x_max;
  std::string text;
};

// The words of page `page` (from 1) with their top-left corners, points from the page's top left.
std::vector<Word> words(const fs::path& pdf, int page) {
  const std::string html = run("pdftotext -bbox -f " + std::to_string(page) + " -l " +
                               std::to_string(page) + " '" + pdf.string() + "' -");
  std::vector<Word> found;
  const std::regex word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)"[^>]*>([^<]*)</word>)re");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word);
       it != std::sregex_iterator(); ++it) {
    found.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), (*it)[4]});
  }
  return found;
}

TEST(PdfPrinterTest, ReadersFindTheTextUprightWhereItWasPrinted) {
  if (!have_poppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are not installed";
  const fs::path path = scratch("text.pdf");
  PdfPrinter printer(path.string());
  ASSERT_TRUE(printer.begin());
  printer.set_orientation(PageOrientation::Landscape);
  printer.set_scale(0, 100, 100, -100);  // y grows upwards, as the chart pages have it
  printer.set_font_size(10);
  printer.set_position(0, 100);
  printer.print("Top 24.5\xC2\xB0""C\nM\xC3\xBCller \xE2\x82\xAC");
  printer.set_position(50, 10);
  printer.print("Foot");
  ASSERT_TRUE(printer.end_document()) << printer.error();

  EXPECT_EQ(run("pdftotext -layout '" + path.string() + "' - | tr -s ' \\n' ' '"),
            "Top 24.5\xC2\xB0""C M\xC3\xBCller \xE2\x82\xAC Foot \f");
  const std::vector<Word> page = words(path, 1);
  ASSERT_EQ(page.size(), 5u);
  // The margin is 10 mm (28.35 pt); the first line's top at the area's top, the next below it.
  EXPECT_NEAR(page[0].x_min, 28.35, 1.0);
  EXPECT_NEAR(page[0].y_min, 28.35, 3.0);
  EXPECT_EQ(page[2].text, "M\xC3\xBCller");
  EXPECT_NEAR(page[2].y_min - page[0].y_min, 11.5, 1.0);
  // "Foot" at x = 50 % and y = 10 % from the bottom of the 539.2 pt high area.
  EXPECT_EQ(page[4].text, "Foot");
  EXPECT_NEAR(page[4].x_min, 28.35 + 0.5 * (841.9 - 2 * 28.35), 1.0);
  EXPECT_NEAR(page[4].y_min, 28.35 + 0.9 * (595.3 - 2 * 28.35), 3.0);
}

TEST(PdfPrinterTest, LongTextContinuesOnNewPagesAndWrapsAtTheRightEdge) {
  if (!have_poppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are not installed";
  const fs::path path = scratch("long.pdf");
  PdfPrinter printer(path.string());
  ASSERT_TRUE(printer.begin());
  printer.set_scale(0, 0, 1000, 1000);
  printer.set_font_size(12);
  printer.set_position(0, 0);
  std::string text;
  for (int k = 1; k <= 120; ++k) text += "line" + std::to_string(k) + "\n";
  text += std::string(200, 'W');  // several lines of capitals at 12 pt
  printer.print(text);
  ASSERT_TRUE(printer.end_document()) << printer.error();

  // 13.8 pt per line in 785.2 pt: 56 lines to a page.
  EXPECT_TRUE(std::regex_search(run("pdfinfo '" + path.string() + "'"), std::regex("Pages: +3\n")));
  const std::vector<Word> second = words(path, 2);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second.front().text, "line57");
  EXPECT_NEAR(second.front().y_min, 28.35, 3.0);
  const std::vector<Word> third = words(path, 3);
  ASSERT_GT(third.size(), 9u);
  EXPECT_EQ(third[7].text, "line120");
  size_t capitals = 0;
  for (size_t k = 8; k < third.size(); ++k) {
    EXPECT_EQ(third[k].text.find_first_not_of('W'), std::string::npos);
    EXPECT_LE(third[k].x_max, 595.3 - 28.35 + 0.5);  // wrapped inside the right margin
    EXPECT_GT(third[k].y_min, third[k - 1].y_min);
    capitals += third[k].text.size();
  }
  EXPECT_EQ(capitals, 200u);
}

// pdftoppm draws the page: a thick red line across the middle is red there, white elsewhere.
TEST(PdfPrinterTest, LinesRenderInTheirColourAndPlace) {
  if (!have_poppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are not installed";
  const fs::path path = scratch("line.pdf");
  PdfPrinter printer(path.string());
  ASSERT_TRUE(printer.begin());
  printer.set_orientation(PageOrientation::Portrait);
  printer.set_scale(0, 10, 10, -10);
  printer.set_colour(0x0000FF);  // red in blue x 65536 + green x 256 + red
  printer.set_line_width(8);     // 6 pt
  printer.line(0, 5, 10, 5);
  ASSERT_TRUE(printer.end_document()) << printer.error();
  const fs::path image = scratch("line");
  ASSERT_FALSE(run("pdftoppm -r 18 -singlefile '" + path.string() + "' '" + image.string() +
                   "' && echo ok").empty());
  const std::string ppm = read_file(image.string() + ".ppm");
  int width = 0, height = 0, max = 0, header = 0;
  ASSERT_EQ(std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &max, &header), 3);
  const auto pixel = [&](int x, int y) {
    const size_t at = static_cast<size_t>(header + 1 + 3 * (y * width + x));
    return std::vector<int>{static_cast<unsigned char>(ppm[at]),
                            static_cast<unsigned char>(ppm[at + 1]),
                            static_cast<unsigned char>(ppm[at + 2])};
  };
  EXPECT_EQ(pixel(width / 2, height / 2), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(pixel(width / 2, height / 4), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(pixel(2, height / 2), (std::vector<int>{255, 255, 255}));  // in the margin
}

// The recorder's own chart pages through the PDF printer, as Print to PDF makes them on Windows:
// every page of a 1000-sample recording, landscape, the foot line upright at the foot.
TEST(PdfPrinterTest, TheRecordersChartPagesPrintToPdf) {
  if (!have_poppler()) GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are not installed";
  const fs::path path = scratch("chart.pdf");
  PdfPrinter printer;
  testing::RecorderHarness h;
  h.recorder.context().platform.printer = &printer;
  RecorderState& s = h.state();
  for (int i = 1; i <= 1000; ++i) s.rec_cur1[i] = static_cast<float>(i);
  s.rec_next = 1001;
  s.shown_count = s.rec_next;
  h.dialogs.file_answers = {path.string()};
  h.recorder.press("ppdf");
  EXPECT_TRUE(h.dialogs.messages.empty()) << h.dialogs.messages.front().text;
  EXPECT_TRUE(std::regex_search(run("pdfinfo '" + path.string() + "'"), std::regex("Pages: +3\n")));
  const std::string text = run("pdftotext -layout '" + path.string() + "' -");
  EXPECT_NE(text.find("DIV: 10s_200_500_10\xC2\xB0""C_10\xC2\xB0""C"), std::string::npos) << text;
  const std::vector<Word> page = words(path, 1);
  const auto foot = std::find_if(page.begin(), page.end(), [](const Word& w) { return w.text == "DIV:"; });
  ASSERT_NE(foot, page.end());
  EXPECT_GT(foot->y_min, 0.8 * 595.3);  // low on a landscape page
}
#endif

}  // namespace
}  // namespace zetra::platform
