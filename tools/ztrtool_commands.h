// The commands of ztrtool, writing to the streams they are given; main() only dispatches.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zetra::tools {

// Runs ztrtool with its arguments (without the program name); returns the exit status.
int run_ztrtool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zetra::tools
