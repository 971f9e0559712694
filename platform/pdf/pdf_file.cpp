// Objects: 1 catalog, 2 page tree, 3 font, then per page its page object and content stream.
#include "platform/pdf/pdf_file.h"

#include <cmath>
#include <cstdio>

namespace zetra::platform::pdf {
namespace {

constexpr int kCatalog = 1, kPageTree = 2, kFont = 3, kFirstPage = 4;

int page_object(size_t index) { return kFirstPage + 2 * static_cast<int>(index); }

class ObjectWriter {
 public:
  // The file starts with a comment of four bytes above 127, so tools treat it as binary.
  ObjectWriter() : out_("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n") {}

  void add(int number, const std::string& body) {
    if (offsets_.size() < static_cast<size_t>(number)) offsets_.resize(number);
    offsets_[number - 1] = out_.size();
    out_ += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
  }

  std::string finish() {
    const size_t xref = out_.size();
    out_ += "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets_) {
      char entry[21];
      std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
      out_ += entry;
    }
    out_ += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
            std::to_string(kCatalog) + " 0 R >>\nstartxref\n" + std::to_string(xref) +
            "\n%%EOF\n";
    return std::move(out_);
  }

 private:
  std::string out_;
  std::vector<size_t> offsets_;  // byte offset of object n at index n - 1
};

}  // namespace

std::string pdf_number(double value) {
  if (!std::isfinite(value)) return "0";
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  std::string s = text;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string pdf_string(const std::string& bytes) {
  std::string out = "(";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '(' || c == ')') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte > 0x7E) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      out += octal;
    } else {
      out += c;
    }
  }
  return out + ")";
}

std::string pdf_file(const std::vector<PdfPage>& pages) {
  ObjectWriter writer;
  writer.add(kCatalog, "<< /Type /Catalog /Pages 2 0 R >>");
  std::string kids;
  for (size_t k = 0; k < pages.size(); ++k) {
    kids += (k ? " " : "") + std::to_string(page_object(k)) + " 0 R";
  }
  writer.add(kPageTree, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                            std::to_string(pages.size()) + " >>");
  writer.add(kFont,
             "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  for (size_t k = 0; k < pages.size(); ++k) {
    const PdfPage& page = pages[k];
    const int number = page_object(k);
    writer.add(number, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " +
                           pdf_number(page.width_points) + " " + pdf_number(page.height_points) +
                           "] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                           std::to_string(number + 1) + " 0 R >>");
    writer.add(number + 1, "<< /Length " + std::to_string(page.content.size()) +
                               " >>\nstream\n" + page.content + "\nendstream");
  }
  return writer.finish();
}

}  // namespace zetra::platform::pdf
