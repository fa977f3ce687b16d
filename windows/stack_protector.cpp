// The stack protector's run-time support, linked into every Windows image in place of GCC's
// libssp: libssp seeds its canary with ADVAPI32's CryptGenRandom, an import the release
// executable must not have. This canary comes from msvcrt's rand_s and is seeded from the C
// run-time's initialiser table, which runs before every constructor and before main, so no
// guarded frame can be live when the canary changes.
#define _CRT_RAND_S
#include "stack_protector.h"

#include <stdlib.h>
#include <windows.h>

namespace {

// What Windows reports for a process ended over an overwritten stack cookie.
constexpr UINT kStatusStackBufferOverrun = 0xC0000409u;

// Unguarded itself: a guarded frame here would see the canary change under it.
__attribute__((no_stack_protector)) int SeedStackGuard() {
    unsigned int high = 0;
    unsigned int low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) return 0;  // the fixed canary still guards
    const uintptr_t seeded = (uintptr_t{high} << 32) | low;
    if (seeded != 0) __stack_chk_guard = seeded;
    return 0;
}

// Entries of .CRT$XIA to .CRT$XIZ are called in name order by the C run-time's start-up code.
__attribute__((section(".CRT$XIB"), used)) int (*seedStackGuardEntry)() = &SeedStackGuard;

}  // namespace

extern "C" {

uintptr_t __stack_chk_guard = kUnseededStackGuard;

// A guarded function found its canary overwritten: nothing on this stack can be trusted any
// longer, so the process ends at once, with no handler or destructor run.
[[noreturn]] void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), kStatusStackBufferOverrun);
    __builtin_trap();
}

}  // extern "C"
