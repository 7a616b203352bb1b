#include "app/cli/DriveAccess.h"

#include "core/cache/Cache.h"
#include "core/offline/Snapshot.h"
#include "core/drives/DriveTable.h"
#include "core/exchange/Ncdu.h"
#include "core/GlobalState.h"
#include "platform/Drives.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <cctype>
#include <climits>
#include <cstdio>

namespace nrvs::cli {

namespace {
bool driveMapRead = false;
}

void ReadDriveMapOnce() {
    if (driveMapRead) return;
    platform::DetectDriveMap();
    driveMapRead = true;
}

bool ResolvePath(const std::string& arg, std::string& path) {
    ReadDriveMapOnce();
    if (arg.size() >= 2 && arg[1] == ':' && std::isalpha(static_cast<unsigned char>(arg[0]))) {
        path = arg;
        path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        if (path.size() == 2) path += '\\';
    } else {
        const std::string native = platform::AbsoluteNativePath(arg);
        if (!platform::ToProgram(native, path)) {
            std::fprintf(stderr, "norvessa-cli: %s lies on no drive (see norvessa-cli drives)\n",
                         arg.c_str());
            return false;
        }
    }
    platform::ItemPath item;
    std::string why;
    if (!platform::CheckProgramPath(path, item, &why)) {
        std::fprintf(stderr, "norvessa-cli: %s: %s\n", arg.c_str(), why.c_str());
        return false;
    }
    return true;
}

bool ResolveFolder(const std::string& arg, std::string& path, bool mustExist) {
    if (!ResolvePath(arg, path)) return false;
    if (path.back() != '\\') path += '\\';
    if (!mustExist) return true;
    uint32_t attributes = platform::GetFileAttributesA(platform::ToNative(path));
    if (attributes == platform::INVALID_FILE_ATTRIBUTES ||
        !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) {
        std::fprintf(stderr, "norvessa-cli: %s is no folder\n", arg.c_str());
        return false;
    }
    return true;
}

bool HoldsLastMeasurementOnly(char letter) {
    if (letter < 'A' || letter > 'Z') return false;
    ReadDriveMapOnce();
    // Here is what the drive table lists as a drive in use: a root of a known
    // type. A letter whose folder or device is gone keeps its root in the map
    // and resolves to DRIVE_NO_ROOT_DIR: it is not here.
    const uint32_t type = platform::GetDriveTypeA(std::string(1, letter) + ":\\");
    if (type >= platform::DRIVE_REMOVABLE && type <= platform::DRIVE_RAMDISK) return false;
    return IsImportedDrive(letter) || HasSnapshot(letter);
}

bool ImportedFolder(const std::string& arg, std::string& path) {
    if (arg.size() < 2 || arg[1] != ':' || !std::isalpha(static_cast<unsigned char>(arg[0])))
        return false;
    if (arg.size() > 2 && arg[2] != '\\') return false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(arg[0])));
    LoadParameters({});
    if (!HoldsLastMeasurementOnly(letter)) return false;
    path = arg;
    path[0] = letter;
    if (path.size() == 2) path += '\\';
    if (path.back() != '\\') path += '\\';
    return true;
}

bool ResolveMeasuredFolder(const std::string& arg, std::string& path) {
    return ImportedFolder(arg, path) || ResolveFolder(arg, path, false);
}

DriveRecord* OpenDriveOf(const std::string& path, bool onlyThisDrive) {
    LoadParameters({});
    Global().ShowRemovable = 1;
    int letter = platform::LetterOf(path);
    if (onlyThisDrive && letter >= 0) {
        ReadDriveMapOnce();
        Global().Drives.DetectTypes(false);
        Global().CurrentDrive = Global().Drives.ByLetter(letter);
    } else {
        RefreshDrives(letter < 0 ? INT_MAX : letter);
    }
    DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->DriveType == 0 || !Global().Drives.ReadVolume(*drive)) {
        std::fprintf(stderr, "norvessa-cli: drive %c: is not ready\n",
                     path.empty() ? '?' : path[0]);
        return nullptr;
    }
    return drive;
}

DriveRecord* OpenMeasuredDrive(const std::string& path, bool onlyThisDrive) {
    if (path.empty() || !HoldsLastMeasurementOnly(path[0])) return OpenDriveOf(path, onlyThisDrive);
    LoadParameters({});
    GlobalState& g = Global();
    DriveRecord* drive = g.Drives.ByLetter(path[0] - 'A');
    drive->Index = path[0] - 'A';
    FillOfflineRecord(*drive);
    g.CurrentDrive = drive;
    return drive;
}

bool LoadMeasuredCache(const std::string& path, DriveRecord& record, FolderList& list) {
    LoadParameters({});
    record.Index = path[0] - 'A';
    record.RootPath = path.substr(0, 3);
    LoadCache(list, record);
    if (list.Count() == 0) {
        std::fprintf(stderr, "norvessa-cli: %c: has not been measured (%s)\n", path[0],
                     CacheFileName(record).c_str());
        return false;
    }
    return true;
}

} // namespace nrvs::cli
