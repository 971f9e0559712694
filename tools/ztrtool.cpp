// ztrtool: the command-line companion of the recorder for .ztr recording files.
#include <iostream>
#include <string>
#include <vector>

#include "tools/ztrtool_commands.h"

int main(int argc, char* argv[]) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zetra::tools::run_ztrtool(args, std::cout, std::cerr);
}
