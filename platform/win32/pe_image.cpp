// The DOS header's word at 0x3C locates "PE\0\0", followed by the COFF header's machine field.
#include "platform/win32/pe_image.h"

#include <cstdio>

namespace zetra::platform {
namespace {

uint32_t little_endian(std::string_view bytes, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t k = 0; k < size; ++k) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + k])) << (8 * k);
  }
  return value;
}

}  // namespace

std::optional<uint16_t> pe_machine(std::string_view bytes) {
  if (bytes.size() < 0x40 || bytes.substr(0, 2) != "MZ") return std::nullopt;
  const uint32_t header = little_endian(bytes, 0x3C, 4);
  if (header > bytes.size() || bytes.size() - header < 6) return std::nullopt;
  if (bytes.substr(header, 4) != std::string_view("PE\0\0", 4)) return std::nullopt;
  return static_cast<uint16_t>(little_endian(bytes, header + 4, 2));
}

std::string machine_mismatch(const std::string& file_name, uint16_t machine) {
  if (machine == this_machine()) return {};
  if (machine == kMachineX86) return file_name + " is a 32-bit library: use the 32-bit zetra";
  if (machine == kMachineX64) return file_name + " is a 64-bit library: use the 64-bit zetra";
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", machine);
  return file_name + " is built for another kind of processor (machine " + hex + ")";
}

}  // namespace zetra::platform
