// The sim verb: the cluster simulation of a folder.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/TerminalProgress.h"
#include "app/cli/Verbs.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/exchange/Export.h"
#include "core/measure/Simulate.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "platform/Drives.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nrvs::cli {

// The cluster simulation of a folder, as the window runs it on the folder
// shown with every file listed.
int RunSim(const CommandLine& commandLine) {
    const std::string& target = commandLine.arguments[0];
    std::string clusterText = commandLine.LastValue("--cluster"),
                driveArg = commandLine.LastValue("--drive");
    if (clusterText.empty() == driveArg.empty())
        return commandLine.UsageError("give --cluster N or --drive X:");
    // The window reads what is typed as far as it is a number; a script's
    // "12abc" or "abc" is a mistake to report, not cluster 12 or 1.
    if (driveArg.empty() && !std::all_of(clusterText.begin(), clusterText.end(),
                                         [](char c) { return c >= '0' && c <= '9'; })) {
        std::fprintf(stderr, "norvessa-cli: --cluster wants a whole number of bytes, not %s\n",
                     clusterText.c_str());
        return 1;
    }
    std::string path;
    if (!ResolveFolder(target, path)) return 1;
    DriveRecord* drive = OpenDriveOf(path);
    if (!drive) return 1;
    GlobalState& g = Global();
    LoadCache(g.Folders, *drive);
    double targetFree = -1;
    if (!driveArg.empty()) {
        int letter = platform::LetterOf(driveArg.size() == 2 ? driveArg + "\\" : driveArg);
        DriveRecord* other = letter < 0 ? nullptr : g.Drives.ByLetter(letter);
        DriveRecord copy = other ? *other : DriveRecord{};
        if (!other || copy.DriveType == 0 || !g.Drives.ReadVolume(copy)) {
            std::fprintf(stderr, "norvessa-cli: drive %s is not ready\n", driveArg.c_str());
            return 1;
        }
        clusterText = std::to_string(copy.ClusterSize);
        targetFree = copy.FreeBytes;
    }
    uint32_t cluster = 1;
    std::string why;
    if (!ParseClusterSize(clusterText, cluster, why)) {
        std::fprintf(stderr, "norvessa-cli: %s (%s)\n", why.c_str(), clusterText.c_str());
        return 1;
    }
    // Every file of the folder, as the window shows them with its file list on.
    g.ShowFiles = 1;
    FillResult filled = ShownRows(path);
    std::vector<SimRow> rows = BuildSimRows(filled.Rows, *drive, true);
    {
        TerminalMeasureHooks hooks;
        RunSimulation(rows, cluster, targetFree, true, hooks);
    }
    auto now = [](const std::string& v) {
        return v.empty() || TextToFloat(v, -1) < 0 ? std::string("?") : v;
    };
    for (size_t i = 4; i < rows.size(); ++i) {
        if (rows[i].Image != IMG_FOLDER && rows[i].Image != IMG_FILE) continue;
        PrintLine(rows[i].Caption + "\t" + now(rows[i].Before) + "\t" + rows[i].After);
    }
    std::printf("total\t%s\t%s\n", now(rows[0].Before).c_str(), rows[0].After.c_str());
    return 0;
}

} // namespace nrvs::cli
