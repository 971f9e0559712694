// The command line both windows read: help, version, the simulated unit and one recording.
#include "recorder/app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "recorder/app/about.h"

namespace zetra {
namespace {

using Action = StartOptions::Action;

std::string absolute(const char* name) {
  const std::u8string text = std::filesystem::absolute(std::filesystem::path(
                                 std::u8string(reinterpret_cast<const char8_t*>(name))))
                                 .lexically_normal()
                                 .u8string();
  return std::string(text.begin(), text.end());
}

TEST(CommandLine, HelpVersionAndOneRecording) {
  EXPECT_EQ(read_command_line({"zetra"}).action, Action::Run);
  EXPECT_TRUE(read_command_line({"zetra"}).file.empty());
  EXPECT_FALSE(read_command_line({"zetra"}).demo_unit);
  const StartOptions help = read_command_line({"zetra", "--help"});
  EXPECT_EQ(help.action, Action::Help);
  EXPECT_EQ(help.output.rfind("Usage: zetra [OPTION] [FILE]", 0), 0u) << help.output;
  EXPECT_NE(help.output.find("--demo-unit"), std::string::npos);
  EXPECT_EQ(read_command_line({"zetra", "-h"}).action, Action::Help);
  const StartOptions version = read_command_line({"zetra", "--version"});
  EXPECT_EQ(version.action, Action::Version);
  EXPECT_EQ(version.output, "zetra " + program_version() + "\n");
  EXPECT_EQ(read_command_line({"zetra", "--frobnicate"}).action, Action::Error);
  EXPECT_EQ(read_command_line({"zetra", "a.ztr", "b.ztr"}).action, Action::Error);
}

TEST(CommandLine, FilesBecomeAbsoluteAndCleanInUtf8) {
  const StartOptions file = read_command_line({"zetra", absolute("run 1.ztr")});
  EXPECT_EQ(file.action, Action::Run);
  EXPECT_EQ(file.file, absolute("run 1.ztr"));
  const std::string relative = read_command_line({"zetra", "run.ztr"}).file;
  EXPECT_TRUE(std::filesystem::path(std::u8string(relative.begin(), relative.end())).is_absolute());
  EXPECT_EQ(relative, absolute("run.ztr"));
  EXPECT_EQ(read_command_line({"zetra", "sub/../run.ztr"}).file, absolute("run.ztr"));
  EXPECT_EQ(read_command_line({"zetra", "--", "-odd.ztr"}).file, absolute("-odd.ztr"));
  // A name outside ASCII stays the same UTF-8 bytes (never the ANSI code page).
  const std::string unicode = read_command_line({"zetra", "M\xC3\xBCller \xE4\xB8\xAD.ztr"}).file;
  EXPECT_EQ(unicode.substr(unicode.size() - 15), "M\xC3\xBCller \xE4\xB8\xAD.ztr");
}

TEST(CommandLine, DemoUnitGoesWithAFileAndIsAnOptionOnlyBeforeDashDash) {
  const StartOptions demo = read_command_line({"zetra", "--demo-unit", "run.ztr"});
  EXPECT_EQ(demo.action, Action::Run);
  EXPECT_TRUE(demo.demo_unit);
  EXPECT_EQ(demo.file, absolute("run.ztr"));
  const StartOptions named = read_command_line({"zetra", "--", "--demo-unit"});
  EXPECT_FALSE(named.demo_unit);
  EXPECT_EQ(named.file, absolute("--demo-unit"));
}

}  // namespace
}  // namespace zetra
