// The program's command line: zetra [--help] [--version] [--demo-unit] [FILE.ztr]. The same on
// every system: arguments arrive as UTF-8 (a Windows program converts its UTF-16 ones first).
#pragma once

#include <string>
#include <vector>

namespace zetra {

struct StartOptions {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  std::string file;        // absolute path of the recording to open after start-up; empty for none
  std::string output;      // what Help, Version and Error print before the program ends
  bool demo_unit = false;  // USB units 1 to 4 are the simulated base unit, not a real one
};

// `arguments` with the program name first, as main() receives them.
StartOptions read_command_line(const std::vector<std::string>& arguments);

}  // namespace zetra

namespace zetra::ui {
using zetra::read_command_line;
using zetra::StartOptions;
}  // namespace zetra::ui
