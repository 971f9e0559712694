/* The stand-in for the base unit's device library: the 18 functions the recorder declares, with
   C linkage, serving units 1..4. The shared library beside zetra serves them from simulated base
   units whose meters run in real time; the driver-path build reaches them as the devices KVUSB-n.
   Every function takes the unit number first and returns nonzero on success, 0 on failure
   (unknown unit, unit not open, null pointer). Only the functions marked "used" are called by the
   recorder; the rest keep a little per-unit state so that they answer sensibly. */
#ifndef ZETRA_STANDINS_KVWIN32_H
#define ZETRA_STANDINS_KVWIN32_H

#include <stdint.h>

#if defined(__GNUC__)
#define KV_API __attribute__((visibility("default")))
#else
#define KV_API
#endif

/* Windows libraries use the standard calling convention; on x86 it differs from C's (the callee
   pops the arguments), on x64 and elsewhere there is only one. The exported names stay
   undecorated (kvwin32.def). */
#if defined(_WIN32)
#define KV_CALL __stdcall
#else
#define KV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* used: opens unit 1..4; 0 for any other number, and through the driver also when KVUSB-n is
   not there. */
KV_API int32_t KV_CALL KV_OpenDevice(uint8_t device);
/* used: closes the unit; a later call other than KV_OpenDevice fails. */
KV_API int32_t KV_CALL KV_CloseDevice(uint8_t device);
/* Claims the unit for the caller; fails while it is claimed. */
KV_API int32_t KV_CALL KV_RequestOwnership(uint8_t device);
KV_API int32_t KV_CALL KV_ReleaseOwnership(uint8_t device);
/* *owned = 1 while the unit is claimed, else 0. */
KV_API int32_t KV_CALL KV_QueryOwnership(uint8_t device, int32_t* owned);
/* used: control word at `address`. Word 0: bit 0x01 holds the acquisition in reset, bit 0x02
   drops the sample set waiting (the recorder writes 3, then 0). */
KV_API int32_t KV_CALL KV_WriteWord(uint8_t device, uint8_t address, int32_t* value);
/* Writes `count` control words from `address` on (addresses wrap at 256). */
KV_API int32_t KV_CALL KV_WriteBlock(uint8_t device, uint8_t address, uint8_t count, int32_t* words);
KV_API int32_t KV_CALL KV_ReadWord(uint8_t device, uint8_t address, int32_t* value);
/* used: copies `count` words of the 32-word sample block from `address` on (words past 31 read
   0) and hands the sample set over. Word 0 = sequence number of the set, word 2 = lead bits,
   words 3..31 = data bits of weight 2^(31 - i), word 30 also carries the range bits. */
KV_API int32_t KV_CALL KV_ReadBlock(uint8_t device, uint8_t address, uint8_t count, int32_t* words);
/* *status: bit 0x01 open, 0x02 claimed, bits 8..15 the configuration byte last written. */
KV_API int32_t KV_CALL KV_GetStatus(uint8_t device, int32_t* status);
/* used: configuration byte of the user port (stored, no effect on the sample set). */
KV_API int32_t KV_CALL KV_USRConfig(uint8_t device, uint8_t* config);
/* Sets the user port's output byte. */
KV_API int32_t KV_CALL KV_USRWrite(uint8_t device, uint8_t* value);
/* used: *status bit 0x01 set = no sample set ready (the meter converts for 100 ms after each
   block read, and now and then a poll finds it busy); bit 0x02 = held in reset. */
KV_API int32_t KV_CALL KV_USRRead(uint8_t device, uint8_t* status);
/* *revision = 0x0100 (1.00). */
KV_API int32_t KV_CALL KV_GetBaseUnitRevisionLevel(uint8_t device, int32_t* revision);
/* *identity = the module identity last programmed (0 when never programmed). */
KV_API int32_t KV_CALL KV_Identify(uint8_t device, int32_t* identity);
KV_API int32_t KV_CALL KV_ProgramModuleIdentity(uint8_t device, int32_t* identity);
/* Calibration memory of 256 words per unit (addresses wrap at 256). */
KV_API int32_t KV_CALL KV_ReadCalData(uint8_t device, uint8_t address, uint8_t count, int32_t* words);
KV_API int32_t KV_CALL KV_ProgramCalData(uint8_t device, uint8_t address, uint8_t count, int32_t* words);

#ifdef __cplusplus
}
#endif

#endif /* ZETRA_STANDINS_KVWIN32_H */
