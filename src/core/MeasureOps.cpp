#include "core/Cache.h"
#include "core/Measure.h"
#include "core/Utglobal.h"

#include <cmath>

namespace nrvs {

namespace {
const char* const kRunningCaption = " 計測中...";

// Sorted, stamped with the header line and written as the drive's cache.
void Seal(FolderList& folders, const DriveRecord& drive, std::time_t start) {
    std::time_t end = std::time(nullptr);
    folders.Sort();
    folders.InsertFirst(HeaderLine(start, end));
    SaveCache(folders, drive);
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
} // namespace

FolderRecord MeasureDriveJob(DriveRecord& drive, MeasureHooks& hooks) {
    Global().Drives.ReadVolume(drive);
    return MeasureTree(Global().Folders, drive.RootPath, drive.ClusterSize, 0, hooks);
}

FolderRecord MeasureFolderJob(const std::string& path, MeasureHooks& hooks) {
    const DriveRecord* cur = Global().CurrentDrive;
    return MeasureTree(Global().Folders, path, cur ? cur->ClusterSize : 0, 0, hooks);
}

int MeasureDrives(MeasureHooks& hooks) {
    GlobalState& g = Global();
    DriveRecord* current = g.CurrentDrive;
    if (!current || !current->Ready) return 0;
    const std::string question = std::string(1, current->RootPath[0]) + "ドライブを計測しますか？";
    std::vector<DriveRecord*> drives;
    if (g.MeasureMulti) {
        std::string flags;
        if (!hooks.ChooseDrives(flags)) return 0;
        for (int i = 0; i < g.Drives.ListedCount(); ++i)
            if (DigitAt(flags, i) == 1) drives.push_back(g.Drives.ListedAt(i));
    } else {
        drives.push_back(current);
    }
    if (g.AskBeforeMeasure && hooks.Ask(question, MB_ICONQUESTION) != ID_YES) return 0;
    int measured = 0;
    for (DriveRecord* drive : drives) {
        // A chosen drive without media keeps its earlier cache file.
        if (!g.Drives.ReadVolume(*drive)) continue;
        g.Folders.Clear();
        std::time_t start = std::time(nullptr);
        hooks.RunJob(kRunningCaption, [&] { MeasureDriveJob(*drive, hooks); });
        Seal(g.Folders, *drive, start);
        ++measured;
    }
    return measured ? 1 : 0;
}

int MeasureFolder(const std::string& path, MeasureHooks& hooks) {
    GlobalState& g = Global();
    DriveRecord* current = g.CurrentDrive;
    if (!current || !current->Ready) return 0;
    if (hooks.Ask(path + "を計測しますか？", MB_ICONQUESTION) != ID_YES) return 0;
    if (path.size() > 3) {
        if (g.Folders.Count() > 0) g.Folders.Delete(0);
        // Only the folder's own line and those below it go; a line that
        // merely contains the path elsewhere belongs to another folder.
        StringList kept;
        kept.reserve(g.Folders.Lines.size());
        std::string_view linePath;
        for (auto& line : g.Folders.Lines) {
            bool hasPath = PathOfLine(line, linePath);
            if (!(hasPath && StartsWith(linePath, path))) kept.push_back(std::move(line));
        }
        g.Folders.Lines = std::move(kept);
        g.Folders.Changed();
    } else {
        g.Folders.Clear();
    }
    std::time_t start = std::time(nullptr);
    hooks.RunJob(kRunningCaption, [&] { MeasureFolderJob(path, hooks); });
    Seal(g.Folders, *current, start);
    return 1;
}

int ShouldMeasure(bool listShowsUnmeasured, std::time_t now) {
    GlobalState& g = Global();
    const DriveRecord* current = g.CurrentDrive;
    switch (ChoiceIndex(g.MeasureMode)) {
    case 1: return listShowsUnmeasured ? 1 : 0;
    case 2: return current && !IsCached(*current) ? 1 : 0;
    case 3: return current && current->SelectCount == 1 ? 1 : 0;
    case 4: return 1;
    case 5: {
        if (g.Folders.Count() < 3) return 0;
        long long days = 0;
        if (!HeaderAgeDays(g.Folders.LineAt(0), now, days)) return 0;
        return days > g.ExpiryDays ? 1 : 0;
    }
    default: return 0;
    }
}

} // namespace nrvs
