// The process-wide state back to what a fresh start of the program has, so
// that no test sees the drives, settings or measurements of the one before.
#pragma once

#include "core/GlobalState.h"

namespace nrvs::test {

inline void ResetGlobalState() {
    Global() = GlobalState{};
}

} // namespace nrvs::test
