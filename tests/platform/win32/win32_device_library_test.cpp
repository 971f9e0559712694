// Loading the device library on Windows: from the program's folder only, the reason when the file
// has the other bitness, lacks a function or is missing, the standard calling convention with the
// arguments passed through, and the simulated unit's DLL giving sample blocks.
#include "platform/win32/win32_device_library.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "platform/win32/pe_image.h"

namespace zetra::platform {
namespace {

namespace fs = std::filesystem;

fs::path program_folder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

TEST(Win32DeviceLibraryTest, CompleteLibraryPassesArgumentsThroughWithTheStandardConvention) {
  Win32DeviceLibrary library(L"fake-kvwin32-complete.dll");
  ASSERT_TRUE(library.load()) << library.load_error();
  EXPECT_TRUE(library.load());
  EXPECT_EQ(library.load_error(), "");
  // On x86 a caller of the wrong convention would leave the stack off by the arguments' size
  // after every call; many calls in a row would not survive that.
  for (int round = 0; round < 100; ++round) {
    EXPECT_EQ(library.open_device(3), 43);
    uint8_t config = 0;
    EXPECT_EQ(library.usr_config(3, config), 100);
    int32_t word = 3;
    EXPECT_EQ(library.write_word(2, 5, word), 5);
    EXPECT_EQ(word, -1);  // passed by reference
    std::array<int32_t, 32> block{};
    EXPECT_EQ(library.read_block(4, 1, 32, block.data()), 4);
    EXPECT_EQ(block[0], 4);  // the value last written (3), plus index and address
    EXPECT_EQ(block[31], 35);
    uint8_t status = 0;
    EXPECT_EQ(library.usr_read(2, status), 1);
    EXPECT_EQ(status, 0x82);
    EXPECT_EQ(library.close_device(2), 7);
  }
}

TEST(Win32DeviceLibraryTest, LibrariesThatCannotServeSayWhyAndAreNotUsed) {
  const std::string other_bits = this_machine() == kMachineX64
                                     ? "fake-kvwin32-otherbits.dll is a 32-bit library: use the "
                                       "32-bit zetra"
                                     : "fake-kvwin32-otherbits.dll is a 64-bit library: use the "
                                       "64-bit zetra";
  Win32DeviceLibrary wrong_bitness(L"fake-kvwin32-otherbits.dll");
  EXPECT_FALSE(wrong_bitness.load());
  EXPECT_EQ(wrong_bitness.load_error(), other_bits);
  EXPECT_EQ(wrong_bitness.open_device(1), 0);

  Win32DeviceLibrary partial(L"fake-kvwin32-partial.dll");
  EXPECT_FALSE(partial.load());
  EXPECT_EQ(partial.load_error(), "fake-kvwin32-partial.dll lacks the function KV_ReadBlock");
  uint8_t status = 0x55;
  EXPECT_EQ(partial.usr_read(1, status), 0);  // not kept half-loaded
  EXPECT_EQ(status, 0x55);

  Win32DeviceLibrary missing(L"kvwin32-nowhere.dll");
  EXPECT_FALSE(missing.load());
  EXPECT_EQ(missing.load_error().rfind("kvwin32-nowhere.dll was not found in ", 0), 0u)
      << missing.load_error();
  EXPECT_NE(missing.load_error().find("or the system folder"), std::string::npos);
}

// A library that sits only in the current folder is never loaded: a document folder could hold
// a planted one.
TEST(Win32DeviceLibraryTest, TheCurrentFolderIsNotSearched) {
  const fs::path folder = fs::temp_directory_path() / "zetra-current-folder";
  fs::create_directories(folder);
  fs::copy_file(program_folder() / "fake-kvwin32-complete.dll", folder / "planted-kvwin32.dll",
                fs::copy_options::overwrite_existing);
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  Win32DeviceLibrary library(L"planted-kvwin32.dll");
  const bool loaded = library.load();
  fs::current_path(before);
  EXPECT_FALSE(loaded);
  EXPECT_NE(library.load_error().find("was not found"), std::string::npos) << library.load_error();
}

TEST(Win32DeviceLibraryTest, PeHeadersTellTheMachine) {
  std::string image(0x100, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = static_cast<char>(0x80);
  image.replace(0x80, 6, std::string("PE\0\0\x4C\x01", 6));
  EXPECT_EQ(pe_machine(image), kMachineX86);
  image[0x84] = 0x64;
  image[0x85] = static_cast<char>(0x86);
  EXPECT_EQ(pe_machine(image), kMachineX64);
  EXPECT_EQ(pe_machine(image.substr(0, 0x83)), std::nullopt);  // cut inside the header
  image[0x3C] = static_cast<char>(0xF0);                         // points past the end
  EXPECT_EQ(pe_machine(image.substr(0, 0xF2)), std::nullopt);
  EXPECT_EQ(pe_machine("MZ"), std::nullopt);
  EXPECT_EQ(machine_mismatch("x.dll", 0xAA64),
            "x.dll is built for another kind of processor (machine AA64)");
  EXPECT_EQ(machine_mismatch("x.dll", this_machine()), "");
}

// The simulated unit's DLL: the recorder's connect sequence, then a sample block with the lead
// bits of all four values set and values where the simulated meter keeps them.
TEST(Win32DeviceLibraryTest, DemoUnitGivesSampleBlocks) {
  Win32DeviceLibrary library(L"kvwin32-demo.dll");
  ASSERT_TRUE(library.load()) << library.load_error();
  EXPECT_EQ(library.open_device(5), 0);  // units 1..4 only
  ASSERT_NE(library.open_device(1), 0);
  uint8_t config = 0;
  EXPECT_NE(library.usr_config(1, config), 0);
  int32_t word = 3;
  EXPECT_NE(library.write_word(1, 0, word), 0);
  word = 0;
  EXPECT_NE(library.write_word(1, 0, word), 0);
  uint8_t status = 0xFF;
  EXPECT_NE(library.usr_read(1, status), 0);
  EXPECT_EQ(status & 0x02, 0);  // out of reset
  for (int set = 0; set < 3; ++set) {
    std::array<int32_t, 32> block{};
    ASSERT_NE(library.read_block(1, 0, 32, block.data()), 0);
    EXPECT_EQ(block[2] & 0x1B, 0x1B) << "lead bits of set " << set;
    double current1 = 0, temperature1 = 0, current2 = 0;
    for (int i = 3; i <= 31; ++i) {
      const double weight = static_cast<double>(1u << (31 - i));
      if (block[i] & 0x01) current1 += weight;
      if (block[i] & 0x02) temperature1 += weight;
      if (block[i] & 0x08) current2 += weight;
    }
    EXPECT_NEAR(current1 / 715.828 - 11697, 500, 300);
    EXPECT_NEAR(current2 / 715.828 - 11697, 1500, 400);
    EXPECT_NEAR(temperature1 / 715828 - 3.7, 24.5, 2);
  }
  EXPECT_NE(library.close_device(1), 0);
  std::array<int32_t, 32> block{};
  EXPECT_EQ(library.read_block(1, 0, 32, block.data()), 0);  // closed
}

}  // namespace
}  // namespace zetra::platform
