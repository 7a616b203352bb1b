// The start of the tests that measure or read a temporary drive: a fresh
// process state with the default parameters and that drive current, its
// volume read.
#pragma once

#include "core/GlobalState.h"
#include "support/ResetGlobalState.h"
#include "support/TempDrive.h"

#include <stdexcept>

namespace nrvs::test {

inline void MakeCurrent(const TempDrive& drive) {
    ResetGlobalState();
    LoadParameters({});
    RefreshDrives(drive.Letter() - 'A');
    if (!Global().CurrentDrive)
        throw std::runtime_error("the temporary drive did not become current");
    Global().Drives.ReadVolume(*Global().CurrentDrive);
}

} // namespace nrvs::test
