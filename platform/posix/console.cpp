// Command-line programs on Linux: arguments are bytes (UTF-8 by convention), streams are binary.
#include "platform/console.h"

namespace zetra::platform {

std::vector<std::string> program_arguments(int argc, char* argv[]) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void binary_standard_streams() {}

}  // namespace zetra::platform
