// What a Windows program or library file was built for, read from its PE header, so that a
// library of the other bitness is named as such instead of failing to load for no stated reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zetra::platform {

inline constexpr uint16_t kMachineX86 = 0x014C;
inline constexpr uint16_t kMachineX64 = 0x8664;

// The machine field of a PE image whose first bytes (at least up to the header) are `bytes`;
// none when they are not a PE image.
std::optional<uint16_t> pe_machine(std::string_view bytes);

// The machine this program runs as.
constexpr uint16_t this_machine() { return sizeof(void*) == 8 ? kMachineX64 : kMachineX86; }

// Why a library built for `machine` cannot serve this program, naming the file; empty when it
// can. For example "kvwin32.dll is a 32-bit library: use the 32-bit zetra".
std::string machine_mismatch(const std::string& file_name, uint16_t machine);

}  // namespace zetra::platform
