// What the drive information and version dialogs show, computed from the
// drive record and the build, so that the dialogs only put texts into place.
#pragma once

#include "core/drives/DriveTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nrvs {

struct InfoRow {
    std::string Caption;
    std::string Value;
};

// The twenty rows of the drive information dialog, from the record as it was
// last read (nothing is queried here).
std::vector<InfoRow> DriveInfoRows(const DriveRecord& drive);

// Eight upper-case hexadecimal digits, zero-padded.
std::string SerialText(uint32_t serial);

// The name-and-version line of the version dialog; commit may be empty.
std::string VersionLine(const std::string& version, const std::string& commit);

} // namespace nrvs
