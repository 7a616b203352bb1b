#include "core/drives/Monitors.h"

#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "lib/StringList.h"
#include "platform/Drives.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace nrvs {

// ---- settings file ----

MonitorSettings LoadMonitorSettings(const std::string& fileName, const MonitorSettings& defaults) {
    StringList lines;
    LoadLines(lines, fileName);
    MonitorSettings s;
    s.Left = IntAt(lines, 0, defaults.Left);
    s.Top = IntAt(lines, 1, defaults.Top);
    s.Alpha = IntAt(lines, 2, defaults.Alpha);
    s.Interval = IntAt(lines, 3, defaults.Interval);
    return s;
}

int SaveMonitorSettings(const std::string& fileName, const MonitorSettings& s) {
    StringList lines;
    // Lines past the fourth are not ours to drop: a later version may keep
    // more there.
    LoadLines(lines, fileName);
    PutIntAt(lines, 0, s.Left);
    PutIntAt(lines, 1, s.Top);
    PutIntAt(lines, 2, s.Alpha);
    PutIntAt(lines, 3, s.Interval);
    return SaveLines(lines, fileName);
}

int UsableAlpha(int alpha) {
    return std::clamp(alpha, 0, 255);
}

int UsableInterval(int interval) {
    return std::max(interval, kMinimumInterval);
}

// ---- drive monitor ----

std::vector<int> FixedDiskLetters(DriveTable& drives) {
    std::vector<int> letters;
    for (int i = 0; i < drives.ListedCount(); ++i)
        // The letter from the record's place in the table, which cannot
        // disagree with the table as an Index field could.
        if (const DriveRecord* r = drives.ListedAt(i); r && r->DriveType == 3)
            letters.push_back(static_cast<int>(r - drives.ByLetter(0)));
    return letters;
}

std::vector<std::vector<int>> FixedDiskVolumes(DriveTable& drives) {
    std::vector<std::vector<int>> volumes;
    std::vector<uint64_t> ids;
    for (int letter : FixedDiskLetters(drives)) {
        const uint64_t id =
            platform::DriveVolumeId(std::string(1, static_cast<char>('A' + letter)) + ":\\");
        auto it = id == 0 ? ids.end() : std::find(ids.begin(), ids.end(), id);
        if (it != ids.end()) {
            volumes[static_cast<size_t>(it - ids.begin())].push_back(letter);
        } else {
            ids.push_back(id);
            volumes.push_back({letter});
        }
    }
    return volumes;
}

std::string VolumeCaption(const std::vector<int>& letters) {
    std::string out;
    for (int l : letters) {
        if (!out.empty()) out += ' ';
        out += static_cast<char>('A' + l);
        out += ':';
    }
    return out;
}

int MonitorClientHeight(int rows) {
    return 17 * std::max(rows, 0) + 22;
}

std::string CompactSize(double bytes) {
    SizeText t = FormatSize(bytes, 0);
    return t.Number + t.Unit;
}

std::string PercentText(double percent) {
    if (!std::isfinite(percent)) return "-";
    std::string s = GroupedNumber(percent, 2);
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    return s;
}

MonitorCells MonitorCellsOf(const DriveRecord& r) {
    if (!r.Ready || !(r.TotalBytes > 0) || !(r.FreeBytes >= 0)) return {"-", "-", "-"};
    return {CompactSize(r.TotalBytes), CompactSize(r.FreeBytes),
            PercentText(r.FreeBytes / r.TotalBytes * 100)};
}

MonitorCells ReadMonitorCells(DriveTable& drives, const std::string& rootPath) {
    DriveRecord fresh;
    fresh.RootPath = rootPath;
    drives.ReadVolume(fresh);
    return MonitorCellsOf(fresh);
}

} // namespace nrvs
