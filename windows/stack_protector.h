// The stack protector's run-time support for the Windows images (see stack_protector.cpp).
#pragma once

#include <cstdint>

// The canary before seeding; seeding replaces it before any constructor or main runs.
constexpr uintptr_t kUnseededStackGuard = 0x00000AFF0D000A00u;

extern "C" uintptr_t __stack_chk_guard;
