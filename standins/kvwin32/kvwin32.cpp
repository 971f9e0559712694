// The stand-in device library: the 18 C functions over units 1..4. Which units they are depends on
// the build (unit.h): clocked simulated units beside zetra, or units behind the kvusb driver.
// The recorder calls it from one thread; the lock still keeps a second caller from corrupting it.
#include "standins/kvwin32/kvwin32.h"

#include <array>
#include <memory>
#include <mutex>

#include "standins/kvwin32/library_lock.h"
#include "standins/kvwin32/unit.h"

namespace {

using zetra::standins::Unit;

constexpr int32_t kRevision = 0x0100;

// One unit and what the functions the recorder does not call keep for it on the library's side.
struct Slot {
  std::unique_ptr<Unit> unit;
  uint8_t configuration = 0;  // the configuration byte last written, for KV_GetStatus
  bool owned = false;
  uint8_t user_output = 0;
  int32_t module_identity = 0;
  std::array<int32_t, 256> calibration{};
};

struct Units {
  zetra::standins::LibraryLock mutex;  // guards every slot, and each unit's exchanges
  std::array<Slot, 4> slot;
};

// Built on first use, so nothing runs while the library is being loaded.
Units& units() {
  static Units all;
  return all;
}

bool known(uint8_t device) {
  return device >= 1 && device <= 4;
}

Slot& slot_locked(Units& all, uint8_t device) {
  Slot& slot = all.slot[device - 1];
  if (!slot.unit) slot.unit = zetra::standins::make_unit(device);
  return slot;
}

// Runs `action` on an open unit's slot under the lock; 0 for an unknown or closed unit, else 1
// when the action succeeds.
template <typename Action>
int32_t with_open_unit(uint8_t device, Action action) {
  if (!known(device)) return 0;
  Units& all = units();
  std::lock_guard lock(all.mutex);
  Slot& slot = slot_locked(all, device);
  if (!slot.unit->is_open()) return 0;
  return action(slot) ? 1 : 0;
}

}  // namespace

extern "C" {

int32_t KV_CALL KV_OpenDevice(uint8_t device) {
  if (!known(device)) return 0;
  Units& all = units();
  std::lock_guard lock(all.mutex);
  return slot_locked(all, device).unit->open() ? 1 : 0;
}

int32_t KV_CALL KV_CloseDevice(uint8_t device) {
  return with_open_unit(device, [](Slot& s) {
    s.unit->close();
    return true;
  });
}

int32_t KV_CALL KV_RequestOwnership(uint8_t device) {
  return with_open_unit(device, [](Slot& s) {
    if (s.owned) return false;
    s.owned = true;
    return true;
  });
}

int32_t KV_CALL KV_ReleaseOwnership(uint8_t device) {
  return with_open_unit(device, [](Slot& s) {
    s.owned = false;
    return true;
  });
}

int32_t KV_CALL KV_QueryOwnership(uint8_t device, int32_t* owned) {
  if (!owned) return 0;
  return with_open_unit(device, [&](Slot& s) {
    *owned = s.owned ? 1 : 0;
    return true;
  });
}

int32_t KV_CALL KV_WriteWord(uint8_t device, uint8_t address, int32_t* value) {
  if (!value) return 0;
  return with_open_unit(device, [&](Slot& s) { return s.unit->write_word(address, *value); });
}

int32_t KV_CALL KV_WriteBlock(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](Slot& s) {
    for (int k = 0; k < count; ++k) {
      if (!s.unit->write_word(static_cast<uint8_t>(address + k), words[k])) return false;
    }
    return true;
  });
}

int32_t KV_CALL KV_ReadWord(uint8_t device, uint8_t address, int32_t* value) {
  if (!value) return 0;
  return with_open_unit(device, [&](Slot& s) { return s.unit->read_word(address, *value); });
}

int32_t KV_CALL KV_ReadBlock(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](Slot& s) { return s.unit->read_block(address, count, words); });
}

int32_t KV_CALL KV_GetStatus(uint8_t device, int32_t* status) {
  if (!status) return 0;
  return with_open_unit(device, [&](Slot& s) {
    *status = 0x01 | (s.owned ? 0x02 : 0) | (int32_t{s.configuration} << 8);
    return true;
  });
}

int32_t KV_CALL KV_USRConfig(uint8_t device, uint8_t* config) {
  if (!config) return 0;
  return with_open_unit(device, [&](Slot& s) {
    if (!s.unit->configure(*config)) return false;
    s.configuration = *config;
    return true;
  });
}

int32_t KV_CALL KV_USRWrite(uint8_t device, uint8_t* value) {
  if (!value) return 0;
  return with_open_unit(device, [&](Slot& s) {
    s.user_output = *value;
    return true;
  });
}

int32_t KV_CALL KV_USRRead(uint8_t device, uint8_t* status) {
  if (!status) return 0;
  return with_open_unit(device, [&](Slot& s) { return s.unit->status(*status); });
}

int32_t KV_CALL KV_GetBaseUnitRevisionLevel(uint8_t device, int32_t* revision) {
  if (!revision) return 0;
  return with_open_unit(device, [&](Slot&) {
    *revision = kRevision;
    return true;
  });
}

int32_t KV_CALL KV_Identify(uint8_t device, int32_t* identity) {
  if (!identity) return 0;
  return with_open_unit(device, [&](Slot& s) {
    *identity = s.module_identity;
    return true;
  });
}

int32_t KV_CALL KV_ProgramModuleIdentity(uint8_t device, int32_t* identity) {
  if (!identity) return 0;
  return with_open_unit(device, [&](Slot& s) {
    s.module_identity = *identity;
    return true;
  });
}

int32_t KV_CALL KV_ReadCalData(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](Slot& s) {
    for (int k = 0; k < count; ++k) words[k] = s.calibration[(address + k) & 0xff];
    return true;
  });
}

int32_t KV_CALL KV_ProgramCalData(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](Slot& s) {
    for (int k = 0; k < count; ++k) s.calibration[(address + k) & 0xff] = words[k];
    return true;
  });
}

}  // extern "C"
