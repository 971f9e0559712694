// Loading the device library: missing, incomplete and complete libraries, and argument passing.
#include "platform/qt/qt_device_library.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

namespace zetra::platform {
namespace {

TEST(QtDeviceLibraryTest, MissingLibraryIsNotLoadedAndCallsFailSafely) {
  QtDeviceLibrary library(FAKE_LIBRARY_DIR "/nowhere/kvwin32");
  EXPECT_FALSE(library.load());
  EXPECT_FALSE(library.load());  // retried, still absent
  EXPECT_EQ(library.load_error(), "libkvwin32.so was not found in " FAKE_LIBRARY_DIR "/nowhere");
  EXPECT_EQ(library.open_device(1), 0);  // 0 is the failure answer of open
  uint8_t status = 0x55;
  EXPECT_EQ(library.usr_read(1, status), 0);
  EXPECT_EQ(status, 0x55);
}

TEST(QtDeviceLibraryTest, LibraryLackingOneFunctionIsNotLoaded) {
  QtDeviceLibrary library(FAKE_LIBRARY_DIR "/partial/kvwin32");
  EXPECT_FALSE(library.load());
  EXPECT_EQ(library.load_error(), "libkvwin32.so lacks the function KV_ReadBlock");
  EXPECT_EQ(library.open_device(2), 0);
}

TEST(QtDeviceLibraryTest, CompleteLibraryPassesArgumentsThrough) {
  QtDeviceLibrary library(FAKE_LIBRARY_DIR "/complete/kvwin32");
  ASSERT_TRUE(library.load());
  EXPECT_TRUE(library.load());
  EXPECT_EQ(library.load_error(), "");
  EXPECT_EQ(library.open_device(3), 43);
  uint8_t config = 0;
  EXPECT_EQ(library.usr_config(3, config), 100);
  int32_t word = 3;
  EXPECT_EQ(library.write_word(2, 0, word), 0);
  EXPECT_EQ(word, -1);  // passed by reference
  std::array<int32_t, 32> block{};
  EXPECT_EQ(library.read_block(4, 0, 32, block.data()), 4);
  EXPECT_EQ(block[0], 3);  // the value last written, then counting up
  EXPECT_EQ(block[31], 34);
  uint8_t status = 0;
  library.usr_read(2, status);
  EXPECT_EQ(status, 0x82);
  EXPECT_EQ(library.close_device(2), 7);
}

// A file that is there but is no library for this program: the system's own reason, which
// names the file.
TEST(QtDeviceLibraryTest, AFileThatIsNoLibraryGivesTheLoadersReason) {
  const std::string folder = FAKE_LIBRARY_DIR "/not-a-library";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/libkvwin32.so") << "not an ELF file";
  QtDeviceLibrary library(folder + "/kvwin32");
  EXPECT_FALSE(library.load());
  const std::string error = library.load_error();
  const std::string named = "libkvwin32.so in " + folder + " could not be loaded: ";
  ASSERT_EQ(error.rfind(named, 0), 0u) << error;
  const std::string reason = error.substr(named.size());
  EXPECT_FALSE(reason.empty());
  // The reason alone, not the loader's wrapping of it around the path again.
  EXPECT_EQ(reason.find(folder), std::string::npos) << error;
  EXPECT_EQ(reason.find('('), std::string::npos) << error;
}

// A folder where the library should be, or a file nobody may read: named, with the reason.
TEST(QtDeviceLibraryTest, AnUnreadableLibraryIsNamedWithTheReason) {
  const std::string folder = FAKE_LIBRARY_DIR "/unreadable";
  std::filesystem::create_directories(folder + "/libkvwin32.so");  // a folder in its place
  QtDeviceLibrary library(folder + "/kvwin32");
  EXPECT_FALSE(library.load());
  EXPECT_EQ(library.load_error().rfind("libkvwin32.so in " + folder + " ", 0), 0u)
      << library.load_error();
  EXPECT_EQ(library.load_error().find("was not found"), std::string::npos);
}

}  // namespace
}  // namespace zetra::platform
