// A PDF file made of pages whose content streams are already written: the objects, the
// cross-reference table and the trailer, with the standard Helvetica font in WinAnsi encoding.
#pragma once

#include <string>
#include <vector>

namespace zetra::platform::pdf {

struct PdfPage {
  double width_points = 0;
  double height_points = 0;
  std::string content;  // the page's drawing operators
};

// The whole file; at least one page is expected.
std::string pdf_file(const std::vector<PdfPage>& pages);

// A number as PDF writes it: at most three decimals, no exponent, no trailing zeros.
std::string pdf_number(double value);

// A literal string "(...)" holding these bytes; backslash and parentheses escaped, bytes outside
// printable ASCII in octal so that the file stays plain text.
std::string pdf_string(const std::string& bytes);

}  // namespace zetra::platform::pdf
