#include "recorder/app/command_line.h"

#include <filesystem>

#include "recorder/app/about.h"

namespace zetra {
namespace {

// Read before any window exists, so that --help and --version work without a display.
std::string help_text() {
  return "Usage: zetra [OPTION] [FILE]\n"
         "Recorder for the ZetraII two-channel electrochemical meter.\n"
         "FILE (a .ztr recording) is opened after the settings have been read, as File > Open\n"
         "would open it.\n"
         "\n"
         "  -h, --help       show this help and end\n"
         "  -v, --version    show the program's version and end\n"
         "      --demo-unit  USB units 1 to 4 are the simulated base unit (no hardware needed)\n";
}

StartOptions ending(StartOptions::Action action, const std::string& output) {
  StartOptions options;
  options.action = action;
  options.output = output;
  return options;
}

// The name made absolute against the current folder and cleaned of "." and "..", in UTF-8 on
// every system (a narrow path would take the ANSI code page on Windows).
std::string absolute_path(const std::string& name) {
  namespace fs = std::filesystem;
  const std::u8string utf8(name.begin(), name.end());
  std::error_code error;
  fs::path path = fs::absolute(fs::path(utf8), error);
  if (error) path = fs::path(utf8);
  const std::u8string cleaned = path.lexically_normal().u8string();
  return std::string(cleaned.begin(), cleaned.end());
}

bool is_option(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

}  // namespace

StartOptions read_command_line(const std::vector<std::string>& arguments) {
  std::vector<std::string> files;
  bool options_end = false, demo_unit = false;
  for (size_t k = 1; k < arguments.size(); ++k) {
    const std::string& argument = arguments[k];
    if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && (argument == "-h" || argument == "--help" || argument == "-?")) {
      return ending(StartOptions::Action::Help, help_text());
    } else if (!options_end && (argument == "-v" || argument == "--version")) {
      return ending(StartOptions::Action::Version,
                    std::string(kProgramName) + " " + program_version() + "\n");
    } else if (!options_end && argument == "--demo-unit") {
      demo_unit = true;
    } else if (!options_end && is_option(argument)) {
      return ending(StartOptions::Action::Error,
                    "zetra: unknown option " + argument + "\n" + help_text());
    } else {
      files.push_back(argument);
    }
  }
  if (files.size() > 1) {
    return ending(StartOptions::Action::Error, "zetra: one recording at a time, not " +
                                                   std::to_string(files.size()) + "\n" +
                                                   help_text());
  }
  StartOptions options;
  options.demo_unit = demo_unit;
  if (!files.empty()) options.file = absolute_path(files.front());
  return options;
}

}  // namespace zetra
