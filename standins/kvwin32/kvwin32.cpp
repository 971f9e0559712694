// The stand-in device library: the 18 C functions over four clocked simulated base units.
// The recorder calls it from one thread; the lock still keeps a second caller from corrupting it.
#include "standins/kvwin32/kvwin32.h"

#include <array>
#include <chrono>
#include <memory>
#include <mutex>

#include "standins/kvwin32/clocked_unit.h"

namespace {

using zetra::standins::ClockedUnit;

constexpr uint64_t kFirstSeed = 1;  // unit n's meter is seeded with kFirstSeed + n - 1
constexpr int32_t kRevision = 0x0100;

double steady_seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Units {
  std::mutex mutex;  // guards every unit
  std::array<std::unique_ptr<ClockedUnit>, 4> unit;
};

// Built on first use, so nothing runs while the library is being loaded.
Units& units() {
  static Units all;
  return all;
}

bool known(uint8_t device) { return device >= 1 && device <= 4; }

ClockedUnit& unit_locked(Units& all, uint8_t device) {
  auto& slot = all.unit[device - 1];
  if (!slot) slot = std::make_unique<ClockedUnit>(kFirstSeed + device - 1, steady_seconds);
  return *slot;
}

// Runs `action` on an open unit under the lock; 0 for an unknown or closed unit.
template <typename Action>
int32_t with_open_unit(uint8_t device, Action action) {
  if (!known(device)) return 0;
  Units& all = units();
  std::lock_guard lock(all.mutex);
  ClockedUnit& unit = unit_locked(all, device);
  if (!unit.is_open()) return 0;
  return action(unit);
}

}  // namespace

extern "C" {

int32_t KV_OpenDevice(uint8_t device) {
  if (!known(device)) return 0;
  Units& all = units();
  std::lock_guard lock(all.mutex);
  return unit_locked(all, device).open() ? 1 : 0;
}

int32_t KV_CloseDevice(uint8_t device) {
  return with_open_unit(device, [](ClockedUnit& u) {
    u.close();
    return 1;
  });
}

int32_t KV_RequestOwnership(uint8_t device) {
  return with_open_unit(device, [](ClockedUnit& u) {
    if (u.owned) return 0;
    u.owned = true;
    return 1;
  });
}

int32_t KV_ReleaseOwnership(uint8_t device) {
  return with_open_unit(device, [](ClockedUnit& u) {
    u.owned = false;
    return 1;
  });
}

int32_t KV_QueryOwnership(uint8_t device, int32_t* owned) {
  if (!owned) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    *owned = u.owned ? 1 : 0;
    return 1;
  });
}

int32_t KV_WriteWord(uint8_t device, uint8_t address, int32_t* value) {
  if (!value) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    u.write_word(address, *value);
    return 1;
  });
}

int32_t KV_WriteBlock(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    for (int k = 0; k < count; ++k) u.write_word(static_cast<uint8_t>(address + k), words[k]);
    return 1;
  });
}

int32_t KV_ReadWord(uint8_t device, uint8_t address, int32_t* value) {
  if (!value) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    *value = u.read_word(address);
    return 1;
  });
}

int32_t KV_ReadBlock(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    u.read_block(address, count, words);
    return 1;
  });
}

int32_t KV_GetStatus(uint8_t device, int32_t* status) {
  if (!status) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    *status = 0x01 | (u.owned ? 0x02 : 0) | (int32_t{u.configuration()} << 8);
    return 1;
  });
}

int32_t KV_USRConfig(uint8_t device, uint8_t* config) {
  if (!config) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    u.configure(*config);
    return 1;
  });
}

int32_t KV_USRWrite(uint8_t device, uint8_t* value) {
  if (!value) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    u.user_output = *value;
    return 1;
  });
}

int32_t KV_USRRead(uint8_t device, uint8_t* status) {
  if (!status) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    *status = u.status();
    return 1;
  });
}

int32_t KV_GetBaseUnitRevisionLevel(uint8_t device, int32_t* revision) {
  if (!revision) return 0;
  return with_open_unit(device, [&](ClockedUnit&) {
    *revision = kRevision;
    return 1;
  });
}

int32_t KV_Identify(uint8_t device, int32_t* identity) {
  if (!identity) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    *identity = u.module_identity;
    return 1;
  });
}

int32_t KV_ProgramModuleIdentity(uint8_t device, int32_t* identity) {
  if (!identity) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    u.module_identity = *identity;
    return 1;
  });
}

int32_t KV_ReadCalData(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    for (int k = 0; k < count; ++k) words[k] = u.calibration[(address + k) & 0xff];
    return 1;
  });
}

int32_t KV_ProgramCalData(uint8_t device, uint8_t address, uint8_t count, int32_t* words) {
  if (!words) return 0;
  return with_open_unit(device, [&](ClockedUnit& u) {
    for (int k = 0; k < count; ++k) u.calibration[(address + k) & 0xff] = words[k];
    return 1;
  });
}

}  // extern "C"
