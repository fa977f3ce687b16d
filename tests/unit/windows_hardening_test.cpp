// What the Windows images do for their own safety at run time, seen from inside one of them.
#ifdef _WIN32

#include "stack_protector.h"

#include <gtest/gtest.h>

namespace {

// An unseeded canary is the same in every process and every build: whoever knows it can
// overwrite a return address and restore the canary. Seeding happens before main.
TEST(WindowsHardening, StackCanaryIsSeededBeforeMain) {
    EXPECT_NE(__stack_chk_guard, kUnseededStackGuard);
    EXPECT_NE(__stack_chk_guard, uintptr_t{0});
}

}  // namespace

#endif  // _WIN32
