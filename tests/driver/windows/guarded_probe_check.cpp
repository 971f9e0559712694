// The driver's exception guard (driver/windows/guarded_probe_*.S) in a user-mode Windows program, run
// under Wine by .ci/driver-check: the program stands in for MmProbeAndLockPages with a routine that
// returns, raises a status as the kernel's routine does, or faults on a bad address, also from
// frames deeper down and from a frame with a termination handler of its own. The guard must return
// 0 or the exception code, leave the caller's registers and stack as they were, and let the frames
// it unwinds run their handlers.
#include <windows.h>

#include <cstdio>

extern "C" LONG WINAPI kvusb_guarded_probe_and_lock(void* mdl, char access_mode, int operation);

namespace {

enum class Behaviour { lock, raise, fault, raise_deep };
volatile Behaviour behaviour = Behaviour::lock;
volatile int locked = 0;

__attribute__((noinline)) void raise_from_deep(int depth) {
  if (depth == 0) {
    RaiseException(0xC00000A1, 0, 0, nullptr);  // a status, as the kernel raises it
    return;
  }
  raise_from_deep(depth - 1);
  locked = -1;  // never reached; keeps the recursion a real call chain
}

void WINAPI fake_probe_and_lock(void* mdl, char access_mode, int operation) {
  if (mdl != reinterpret_cast<void*>(0x1234) || access_mode != 1 || operation != 1) {
    std::printf("arguments not passed on\n");
    ExitProcess(3);
  }
  switch (behaviour) {
    case Behaviour::lock:
      locked = locked + 1;
      return;
    case Behaviour::raise:
      RaiseException(0xC0000017, 0, 0, nullptr);
      return;
    case Behaviour::fault:
    {
      volatile int* volatile bad = reinterpret_cast<volatile int*>(0x10);
      *bad = 1;  // an access violation, as a bad user address gives
      return;
    }
    case Behaviour::raise_deep:
      raise_from_deep(5);
      return;
  }
}

}  // namespace

// The import the guard calls through, pointed at the stand-in.
extern "C" {
void* imported_probe asm(
#if defined(_WIN64)
    "__imp_MmProbeAndLockPages"
#else
    "__imp__MmProbeAndLockPages@12"
#endif
    ) = reinterpret_cast<void*>(&fake_probe_and_lock);
}

int main() {
  struct Case {
    Behaviour behaviour;
    LONG expected;
  };
  const Case cases[] = {{Behaviour::lock, 0},
                        {Behaviour::raise, static_cast<LONG>(0xC0000017)},
                        {Behaviour::fault, static_cast<LONG>(0xC0000005)},
                        {Behaviour::raise_deep, static_cast<LONG>(0xC00000A1)}};
  int failures = 0;
  // Many rounds with values live across the call: a guard that lost a register or a stack slot
  // shows as a wrong sum or a crash.
  volatile unsigned sum_seen = 0;
  unsigned a = 1, b = 2, c = 3, d = 4, e = 5;
  for (int round = 0; round < 1000; ++round) {
    for (const Case& test : cases) {
      behaviour = test.behaviour;
      LONG status = kvusb_guarded_probe_and_lock(reinterpret_cast<void*>(0x1234), 1, 1);
      if (status != test.expected) {
        std::printf("round %d, behaviour %d: 0x%08lX instead of 0x%08lX\n", round, static_cast<int>(test.behaviour),
                    static_cast<unsigned long>(status), static_cast<unsigned long>(test.expected));
        ++failures;
      }
      a = a * 3 + b;
      b = b ^ (c << 1);
      c = c + d * 7;
      d = d - e;
      e = e * 5 + a;
    }
  }
  sum_seen = a + b + c + d + e;
  unsigned expected_sum = 0;
  {
    unsigned x = 1, y = 2, z = 3, w = 4, v = 5;
    for (int i = 0; i < 4000; ++i) {
      x = x * 3 + y;
      y = y ^ (z << 1);
      z = z + w * 7;
      w = w - v;
      v = v * 5 + x;
    }
    expected_sum = x + y + z + w + v;
  }
  if (sum_seen != expected_sum) {
    std::printf("values live across the guard changed\n");
    ++failures;
  }
  if (locked != 1000) {
    std::printf("the stand-in ran %d times instead of 1000\n", locked);
    ++failures;
  }
  std::printf("guarded probe: %s\n", failures == 0 ? "ok" : "FAILED");
  return failures == 0 ? 0 : 1;
}
