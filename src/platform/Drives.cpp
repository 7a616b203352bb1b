#include "platform/Drives.h"

#include "platform/ProgramLocation.h"

namespace nrvs::platform {

int LetterOf(const std::string& programPath) {
    if (programPath.size() < 2 || programPath[1] != ':') return -1;
    if (programPath.size() > 2 && programPath[2] != '\\') return -1;
    char c = programPath[0];
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    return -1;
}

std::string DriveMapFileName() {
    return SettingsBase() + ".drv";
}

} // namespace nrvs::platform
