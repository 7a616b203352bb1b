// The verbs about drives as a whole and about this copy of the program:
// drives, info, monitor and paths.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/Verbs.h"

#include "core/drives/DriveInfo.h"
#include "core/drives/DriveTable.h"
#include "core/drives/Monitors.h"
#include "core/measure/FolderMonitor.h"
#include "core/cache/Cache.h"
#include "core/GlobalState.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace nrvs::cli {

namespace {

const char* TypeName(uint32_t type) {
    switch (type) {
    case 2:
        return "removable";
    case 3:
        return "fixed";
    case 4:
        return "remote";
    case 5:
        return "cdrom";
    case 6:
        return "ramdisk";
    default:
        return "-";
    }
}

} // namespace

// Byte counts stay raw so that scripts can compare them with df -B1.
int RunDrives(const CommandLine& commandLine) {
    const bool tabs = commandLine.Has("--tab");
    Global().ShowRemovable = 1;
    RefreshDrives(INT_MAX);
    DriveTable& drives = Global().Drives;
    const auto& roots = platform::DriveRoots();

    std::vector<std::vector<std::string>> rows;
    rows.push_back(
        {"DRIVE", "TYPE", "FS", "CAPACITY", "FREE", "CLUSTER", "READY", "LABEL", "ROOT"});
    for (int i = 0; i < drives.ListedCount(); ++i) {
        const DriveRecord* r = drives.ListedAt(i);
        rows.push_back({r->RootPath.substr(0, 2), TypeName(r->DriveType),
                        r->FileSystem.empty() ? "-" : r->FileSystem, Number(r->TotalBytes),
                        Number(r->FreeBytes), std::to_string(r->ClusterSize),
                        r->Ready ? "yes" : "no", r->VolumeName.empty() ? "-" : r->VolumeName,
                        roots[static_cast<size_t>(r->Index)]});
    }
    std::vector<size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c)
            width[c] = std::max(width[c], row[c].size());
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 == row.size()) break;
            if (tabs)
                line += '\t';
            else
                line += std::string(width[c] - row[c].size() + 2, ' ');
        }
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

// Where this copy reads and writes its files, so that a user of an installed
// copy finds them (and a portable one can be told from it).
int RunPaths(const CommandLine&) {
    const platform::ProgramFolders f = platform::ProgramFileFolders();
    std::printf("layout\t%s\n", f.Installed ? "installed" : "portable");
    std::printf("settings\t%s\n", f.Settings.c_str());
    std::printf("data\t%s\n", f.Data.c_str());
    std::printf("parameters\t%s\n", SettingsFileName("prm").c_str());
    std::printf("drive map\t%s\n", platform::DriveMapFileName().c_str());
    std::printf("caches\t%sNRVS_<letter>.txt\n", f.Data.c_str());
    std::printf("file indexes\t%sNRVS_<letter>.idx\n", f.Data.c_str());
    std::printf("rankings\t%s%s_<letter>.rks\n", f.Data.c_str(),
                platform::ExecutableName().c_str());
    std::printf("previous measurements\t%sNRVS_<letter>.txt\n",
                platform::PreviousMeasurementFolder().c_str());
    std::printf("help\t%s\n", platform::HelpDocumentPath().c_str());
    return 0;
}

// The drive information dialog's rows, item and value tab-separated.
int RunInfo(const CommandLine& commandLine) {
    std::string path;
    if (!ResolveFolder(commandLine.arguments[0], path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    for (const auto& row : DriveInfoRows(*drive))
        std::printf("%s\t%s\n", row.Caption.c_str(), row.Value.c_str());
    return 0;
}

// The drive monitor's rows, or the folder monitor's count of one folder.
int RunMonitor(const CommandLine& commandLine) {
    if (commandLine.Count("--folder") > 1) return commandLine.UsageError("one --folder only");
    const std::string folder = commandLine.LastValue("--folder");
    if (!folder.empty()) {
        std::string path;
        if (!ResolveFolder(folder, path)) return 1;
        DriveRecord* drive = OpenDriveOf(path);
        if (!drive) return 1;
        const FolderCount c = FolderCounter::CountNow(path, drive->ClusterSize);
        if (!c.Valid) {
            std::fprintf(stderr, "norvessa-cli: %s cannot be read\n", path.c_str());
            return 1;
        }
        std::printf("%s\t%s\t%s\t%d\t%d\n", path.c_str(), Number(c.Bytes).c_str(),
                    Number(c.Occupied).c_str(), c.Files, c.Folders);
        return 0;
    }
    LoadParameters({});
    Global().ShowRemovable = 1;
    RefreshDrives(INT_MAX);
    std::printf("Drive\tTotal\tFree\t%%\n");
    for (const auto& letters : FixedDiskVolumes(Global().Drives)) {
        const MonitorCells c = ReadMonitorCells(
            Global().Drives, std::string(1, static_cast<char>('A' + letters.front())) + ":\\");
        std::printf(" %s\t%s\t%s\t%s\n", VolumeCaption(letters).c_str(), c.Total.c_str(),
                    c.Free.c_str(), c.Percent.c_str());
    }
    return 0;
}

} // namespace nrvs::cli
