// Command-line programs on Windows: the arguments from the UTF-16 command line, and standard
// streams in binary mode (the C run-time's text mode would write "\r\n" as "\r\r\n").
#include "platform/console.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/win32/utf16.h"

namespace zetra::platform {

std::vector<std::string> program_arguments(int, char*[]) {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return args;
  for (int i = 1; i < count; ++i) args.push_back(to_utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

void binary_standard_streams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace zetra::platform
