// The drive monitor's rows and cells, and the settings file both monitors
// keep beside the executable (the folder monitor's count is the walk's:
// measure/FolderMonitor).
#pragma once

#include "core/drives/DriveTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nrvs {

// ---- settings file: line 0 left, 1 top, 2 translucency, 3 interval ----

struct MonitorSettings {
    int Left = 0;
    int Top = 0;
    int Alpha = 192;
    int Interval = 60000;
};

// The file's values; a missing file, a missing line or a line that is no
// number takes the value of defaults.
MonitorSettings LoadMonitorSettings(const std::string& fileName, const MonitorSettings& defaults);
// Writes the four lines (atomically); 0 when the file could not be written.
int SaveMonitorSettings(const std::string& fileName, const MonitorSettings& settings);

// What is applied to the window. The file keeps what the user wrote; a
// value that would hide the window for good or refresh without pause is
// brought into range only for use.
int UsableAlpha(int alpha);       // 0 to 255
int UsableInterval(int interval); // at least kMinimumInterval
constexpr int kMinimumInterval = 1000;

// ---- drive monitor ----

// The letter numbers of the listed drives that are fixed disks, in listed
// order.
std::vector<int> FixedDiskLetters(DriveTable& drives);

// The fixed disks grouped by volume, in listed order of each volume's first
// letter: letters on one file system (C: and a folder of it mapped to P:)
// are one row of the monitor, not several rows of the same numbers.
std::vector<std::vector<int>> FixedDiskVolumes(DriveTable& drives);
// The row's caption: its letters, "C: P: U:".
std::string VolumeCaption(const std::vector<int>& letters);

// Client height of the drive monitor for a number of rows.
int MonitorClientHeight(int rows);

struct MonitorCells {
    std::string Total, Free, Percent;
};
// The cells of a drive freshly read into record (ready = the volume query
// succeeded). A volume that could not be read, or reports no capacity,
// shows "-" in every cell.
MonitorCells MonitorCellsOf(const DriveRecord& record);
// Size with automatic unit, number and unit together: 37.25GB, 512B.
std::string CompactSize(double bytes);
// Two decimals without a leading zero below 1: 25.00, .50, .00.
std::string PercentText(double percent);
// Reads the volume of root ("C:\") afresh into a new record and gives its cells.
MonitorCells ReadMonitorCells(DriveTable& drives, const std::string& rootPath);

} // namespace nrvs
