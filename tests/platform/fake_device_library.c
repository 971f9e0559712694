/* A device library for the loader test: records what it was called with. Built twice, once
   with all six entry points and once without KV_ReadBlock. */
#include <stdint.h>

static int32_t last_value;
static uint8_t last_device;

int32_t KV_OpenDevice(uint8_t dev) { last_device = dev; return 40 + dev; }
int32_t KV_CloseDevice(uint8_t dev) { last_device = dev; return 7; }
int32_t KV_USRConfig(uint8_t dev, uint8_t* config) { last_device = dev; return *config + 100; }
int32_t KV_WriteWord(uint8_t dev, uint8_t address, int32_t* value) {
  last_device = dev;
  last_value = *value;
  *value = -1;
  return address;
}
int32_t KV_USRRead(uint8_t dev, uint8_t* status) { *status = (uint8_t)(dev | 0x80); return 1; }
#ifndef LACKS_READ_BLOCK
int32_t KV_ReadBlock(uint8_t dev, uint8_t address, uint8_t count, int32_t* words) {
  for (int i = 0; i < count; ++i) words[i] = last_value + i + address;
  return dev;
}
#endif
