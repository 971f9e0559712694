/* A device library for the loader tests: records what it was called with. Built twice, once
   with all six entry points and once without KV_ReadBlock; on Windows with the standard calling
   convention and exported under undecorated names (the linker's --kill-at), as the real one. */
#include <stdint.h>

#if defined(_WIN32)
#define KV_EXPORT __declspec(dllexport)
#define KV_CALL __stdcall
#else
#define KV_EXPORT
#define KV_CALL
#endif

static int32_t last_value;
static uint8_t last_device;

KV_EXPORT int32_t KV_CALL KV_OpenDevice(uint8_t dev) { last_device = dev; return 40 + dev; }
KV_EXPORT int32_t KV_CALL KV_CloseDevice(uint8_t dev) { last_device = dev; return 7; }
KV_EXPORT int32_t KV_CALL KV_USRConfig(uint8_t dev, uint8_t* config) { last_device = dev; return *config + 100; }
KV_EXPORT int32_t KV_CALL KV_WriteWord(uint8_t dev, uint8_t address, int32_t* value) {
  last_device = dev;
  last_value = *value;
  *value = -1;
  return address;
}
KV_EXPORT int32_t KV_CALL KV_USRRead(uint8_t dev, uint8_t* status) { *status = (uint8_t)(dev | 0x80); return 1; }
#ifndef LACKS_READ_BLOCK
KV_EXPORT int32_t KV_CALL KV_ReadBlock(uint8_t dev, uint8_t address, uint8_t count, int32_t* words) {
  for (int i = 0; i < count; ++i) words[i] = last_value + i + address;
  return dev;
}
#endif
