// What a command-line program needs of its system: its arguments as UTF-8 and a standard output
// that passes bytes through unchanged (no line-end translation).
#pragma once

#include <string>
#include <vector>

namespace zetra::platform {

// The arguments after the program's name, UTF-8 (on Windows taken from the UTF-16 command line,
// never through the ANSI code page; argc and argv are then not used).
std::vector<std::string> program_arguments(int argc, char* argv[]);
// Standard output and standard error in binary mode: a "\r\n" written is "\r\n" delivered.
void binary_standard_streams();

}  // namespace zetra::platform
