#include "support/TempDrive.h"

#include "platform/Drives.h"
#include "platform/ProgramLocation.h"

#include <stdexcept>

namespace nrvs::test {

TempDrive::TempDrive() {
    folders_.push_back(std::make_unique<TempDir>());
    drive_ = folders_.back().get();
    platform::SetExecutablePath(exe_ / "norvessa");
    platform::DetectDriveMap();
    // The highest free letter: mounts take letters from D: upward.
    for (int n = 25; n >= 3; --n) {
        if (platform::DriveRoots()[static_cast<size_t>(n)].empty()) {
            letter_ = static_cast<char>('A' + n);
            break;
        }
    }
    if (!letter_ || !platform::SetDriveMapEntry(letter_ - 'A', drive_->Path()))
        throw std::runtime_error("no free drive letter");
}

TempDrive::~TempDrive() {
    platform::SetDriveMapEntry(letter_ - 'A', "");
    platform::SetExecutablePath("");
}

void TempDrive::SwapVolume() {
    folders_.push_back(std::make_unique<TempDir>());
    drive_ = folders_.back().get();
    if (!platform::SetDriveMapEntry(letter_ - 'A', drive_->Path()))
        throw std::runtime_error("the drive map could not be written");
}

std::string TempDrive::Root() const {
    return std::string(1, letter_) + ":\\";
}

} // namespace nrvs::test
