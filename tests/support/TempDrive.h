// A temporary folder made a lettered drive through the drive map, with the
// executable (and so the map file) in another temporary folder.
#pragma once

#include "support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace nrvs::test {

class TempDrive {
  public:
    TempDrive();
    ~TempDrive();

    char Letter() const { return letter_; }
    // "X:\"
    std::string Root() const;
    // Native root folder, with a trailing '/'.
    const std::string& Native() const { return drive_->Path(); }
    const TempDir& Dir() const { return *drive_; }
    const TempDir& ExeDir() const { return exe_; }
    // The letter given to another, empty folder, as another volume put in
    // its place: Root(), Native() and Dir() are that folder's from then on.
    // The drive table must be read again (MakeCurrent) to see it.
    void SwapVolume();

  private:
    TempDir exe_;
    std::vector<std::unique_ptr<TempDir>> folders_;
    TempDir* drive_ = nullptr;
    char letter_ = 0;
};

} // namespace nrvs::test
