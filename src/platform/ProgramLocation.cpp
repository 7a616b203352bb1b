#include "platform/ProgramLocation.h"

#include "platform/SystemServices.h"

#include <mutex>

namespace nrvs::platform {

namespace {
std::string& OverridePath() {
    static std::string path;
    return path;
}

// The decision of ProgramFileFolders for the executable path it was made for.
std::mutex gFoldersMutex;
std::string gFoldersFor;
bool gFoldersKnown = false;
ProgramFolders gFolders;
} // namespace

std::string ExecutablePath() {
    if (!OverridePath().empty()) return OverridePath();
    return StartExecutablePath();
}

void SetExecutablePath(const std::string& nativePath) {
    OverridePath() = nativePath;
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    gFoldersKnown = false;
}

std::string ExecutableBase(const std::string& exePath) {
    size_t slash = exePath.find_last_of("/\\");
    size_t dot = exePath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        return exePath.substr(0, dot);
    return exePath;
}

std::string ExecutableBase() {
    return ExecutableBase(ExecutablePath());
}

std::string ExecutableName() {
    const std::string base = ExecutableBase();
    size_t slash = base.find_last_of("/\\");
    return slash == std::string::npos ? base : base.substr(slash + 1);
}

ProgramFolders ProgramFileFolders() {
    const std::string exe = ExecutablePath();
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    if (!gFoldersKnown || gFoldersFor != exe) {
        gFolders = ProgramFileFoldersFor(exe, !OverridePath().empty());
        gFoldersFor = exe;
        gFoldersKnown = true;
    }
    return gFolders;
}

std::string SettingsBase() {
    const ProgramFolders f = ProgramFileFolders();
    return f.Installed ? f.Settings + ExecutableName() : ExecutableBase();
}

std::string PreviousMeasurementFolder() {
    return ProgramFileFolders().Data + "previous/";
}

} // namespace nrvs::platform
