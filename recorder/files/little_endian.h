// Packed little-endian fields of the recorder's files, put and taken one at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace zetra::files {

inline void put_u32(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
  at[2] = static_cast<uint8_t>(v >> 16);
  at[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t get_u32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}
inline void put_f32(uint8_t* at, float v) { put_u32(at, std::bit_cast<uint32_t>(v)); }
inline float get_f32(const uint8_t* at) { return std::bit_cast<float>(get_u32(at)); }
inline void put_i16(uint8_t* at, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  at[0] = static_cast<uint8_t>(u);
  at[1] = static_cast<uint8_t>(u >> 8);
}
inline int16_t get_i16(const uint8_t* at) {
  return static_cast<int16_t>(static_cast<uint16_t>(at[0] | at[1] << 8));
}

}  // namespace zetra::files
