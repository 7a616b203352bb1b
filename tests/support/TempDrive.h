// A temporary folder made a lettered drive through the drive map, with the
// executable (and so the map file) in another temporary folder.
#pragma once

#include "support/TempDir.h"

#include <string>

namespace nrvs::test {

class TempDrive {
  public:
    TempDrive();
    ~TempDrive();

    char Letter() const { return letter_; }
    // "X:\"
    std::string Root() const;
    // Native root folder, with a trailing '/'.
    const std::string& Native() const { return drive_.Path(); }
    const TempDir& Dir() const { return drive_; }
    const TempDir& ExeDir() const { return exe_; }

  private:
    TempDir exe_;
    TempDir drive_;
    char letter_ = 0;
};

} // namespace nrvs::test
