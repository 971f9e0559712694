// ztrtool: the command-line companion of the recorder for .ztr recording files.
#include <iostream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "tools/ztrtool_commands.h"

int main(int argc, char* argv[]) {
  // The export's CR LF line ends go out as they are, and file names arrive as UTF-8.
  zetra::platform::binary_standard_streams();
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args = zetra::platform::program_arguments(argc, argv);
  return zetra::tools::run_ztrtool(args, std::cout, std::cerr);
}
