#include "platform/Drives.h"

#include "platform/FileAccess.h"
#include "platform/LineFiles.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "platform/SystemServices.h"
#include "platform/win32/WideApi.h"

#include <algorithm>

namespace nrvs::platform {

namespace {

// What detection found last.
DriveMap& Current() {
    static DriveMap map;
    return map;
}

bool Mappable(std::string_view root) {
    return root.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool IsLetterRoot(std::string_view root) {
    return root.size() == 3 && root[1] == ':' && (root[2] == '/' || root[2] == '\\');
}

// The root of a letter's native root: "X:/" itself, or for a folder given
// its own letter the root of the volume that holds it.
std::wstring VolumeRootOf(const std::string& nativeRoot) {
    std::wstring w = win::Wide(nativeRoot);
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    if (w.empty() || w.back() != L'\\') w += L'\\';
    wchar_t volume[MAX_PATH + 1] = {};
    if (!IsLetterRoot(nativeRoot) && ::GetVolumePathNameW(w.c_str(), volume, MAX_PATH))
        return volume;
    return w;
}

// The native root of a program-form drive root ("X:\"), empty when the
// letter is not in use.
std::string RootOf(const std::string& rootPath) {
    const int letter = LetterOf(rootPath);
    if (letter < 0) return {};
    return Current().Roots[static_cast<size_t>(letter)];
}

bool Exists(const std::string& nativeDir) {
    const DWORD a = ::GetFileAttributesW(win::LongPath(nativeDir).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

const DriveRootTable& DriveRoots() {
    return Current().Roots;
}

// Windows has its own letters: the mount table of Linux does not exist here.
std::vector<MountEntry> ParseMountInfo(std::string_view) {
    return {};
}
bool QualifyingMount(const MountEntry&) {
    return false;
}

DriveMap AssignLetters(const std::vector<std::string>& mapLines, const std::vector<MountEntry>&,
                       const std::array<bool, 26>& reserved) {
    DriveMap map;
    for (size_t n = 0; n < 26 && n < mapLines.size(); ++n) {
        std::string line = mapLines[n];
        // Only an absolute path can name a root (like subst): a relative one
        // would depend on the working folder.
        if (line.size() < 3 || line[1] != ':' || (line[2] != '/' && line[2] != '\\') ||
            !Mappable(line))
            continue;
        for (auto& c : line)
            if (c == '\\') c = '/';
        while (line.size() > 3 && line.back() == '/')
            line.pop_back();
        map.Roots[n] = line;
    }
    // The system's own letters, where the map names no folder.
    const DWORD letters = ::GetLogicalDrives();
    for (size_t n = 0; n < 26; ++n)
        if (map.Roots[n].empty() && !reserved[n] && (letters & (1u << n))) {
            map.Roots[n] = std::string(1, static_cast<char>('A' + n)) + ":/";
            map.MountLetter[n] = true;
        }
    return map;
}

std::vector<std::string> DriveMapLines(const DriveMap& map) {
    // Only the folders given letters are the map's; the system's letters
    // are found again at each start.
    std::vector<std::string> lines(26);
    for (size_t n = 0; n < 26; ++n)
        if (!map.MountLetter[n] && Mappable(map.Roots[n])) lines[n] = map.Roots[n];
    return lines;
}

void DetectDriveMap() {
    std::vector<std::string> lines;
    ReadFileLines(DriveMapFileName(), lines);
    Current() = AssignLetters(lines, {}, {});
}

int SetDriveMapEntry(int letter, const std::string& nativeDir) {
    if (letter < 0 || letter > 25) return 0;
    if (!nativeDir.empty() && (!IsAbsoluteNative(nativeDir) || !Mappable(nativeDir))) return 0;
    std::vector<std::string> lines;
    ReadFileLines(DriveMapFileName(), lines);
    lines.resize(26);
    lines[static_cast<size_t>(letter)] = nativeDir;
    if (!ReplaceFileWithLines(DriveMapFileName(), lines)) return 0;
    DetectDriveMap();
    return 1;
}

uint32_t GetDriveTypeA(const std::string& rootPath) {
    const std::string root = RootOf(rootPath);
    if (root.empty()) return DRIVE_NO_ROOT_DIR;
    if (!IsLetterRoot(root) && !Exists(root)) return DRIVE_NO_ROOT_DIR;
    const UINT t = ::GetDriveTypeW(VolumeRootOf(root).c_str());
    return t == DRIVE_UNKNOWN ? DRIVE_FIXED : t;
}

std::string DriveDevice(const std::string& rootPath) {
    const std::string root = RootOf(rootPath);
    if (root.empty()) return {};
    const std::wstring v = VolumeRootOf(root);
    wchar_t name[64] = {};
    if (::GetVolumeNameForVolumeMountPointW(v.c_str(), name, 64))
        return win::Narrow(name, wcslen(name));
    return win::Narrow(v);
}

std::string DriveMountPoint(const std::string& rootPath) {
    return RootOf(rootPath);
}

std::string FolderVolume(const std::string& rootPath) {
    const std::string root = RootOf(rootPath);
    if (root.empty() || IsLetterRoot(root) || !Exists(root)) return {};
    const std::wstring volume = VolumeRootOf(root);
    std::wstring folder = win::Wide(root);
    for (auto& c : folder)
        if (c == L'/') c = L'\\';
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    // A folder that is itself a volume's mount point is that volume's root.
    if (::_wcsicmp(volume.c_str(), folder.c_str()) == 0) return {};
    return win::Narrow(volume);
}

uint64_t DriveVolumeId(const std::string& rootPath) {
    VolumeInformation info;
    return GetVolumeInformationA(rootPath, info) ? info.SerialNumber : 0;
}

int GetVolumeInformationA(const std::string& rootPath, VolumeInformation& info) {
    const std::string root = RootOf(rootPath);
    if (root.empty() || (!IsLetterRoot(root) && !Exists(root))) return 0;
    wchar_t label[MAX_PATH + 1] = {}, fs[MAX_PATH + 1] = {};
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!::GetVolumeInformationW(VolumeRootOf(root).c_str(), label, MAX_PATH + 1, &serial,
                                 &maxComponent, &flags, fs, MAX_PATH + 1))
        return 0;
    info.VolumeName = win::Narrow(label, wcslen(label));
    info.FileSystemName = win::Narrow(fs, wcslen(fs));
    info.SerialNumber = serial;
    info.MaxComponentLength = maxComponent;
    info.FileSystemFlags = flags;
    return 1;
}

int GetDiskFreeSpaceA(const std::string& rootPath, DiskFreeSpace& space) {
    const std::string root = RootOf(rootPath);
    if (root.empty()) return 0;
    DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
    if (!::GetDiskFreeSpaceW(VolumeRootOf(root).c_str(), &spc, &bps, &freeClusters, &total))
        return 0;
    space.SectorsPerCluster = std::max<DWORD>(spc, 1);
    space.BytesPerSector = bps ? bps : 512;
    space.FreeClusters = freeClusters;
    space.TotalClusters = total;
    return 1;
}

int GetDiskFreeSpaceExA(const std::string& rootPath, uint64_t& totalBytes, uint64_t& freeBytes) {
    const std::string root = RootOf(rootPath);
    if (root.empty()) return 0;
    ULARGE_INTEGER avail{}, total{}, free{};
    if (!::GetDiskFreeSpaceExW(VolumeRootOf(root).c_str(), &avail, &total, &free)) return 0;
    totalBytes = total.QuadPart;
    freeBytes = free.QuadPart; // all users, not the caller's quota
    return 1;
}

} // namespace nrvs::platform
