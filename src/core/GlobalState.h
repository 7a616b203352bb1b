// The process-wide state: where the executable lives, the user's parameters
// (one per line of the parameter file), the drive table and the folder list of
// the drive being browsed.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/cache/Folders.h"
#include "lib/StringList.h"

#include <string>

namespace nrvs {

// The drive table and the drive being browsed. CurrentDrive points into
// Drives; a copy of the state points into its own table, so that replacing
// the state (as tests do) never leaves it pointing at a table that is gone.
struct DriveState {
    DriveTable Drives;
    DriveRecord* CurrentDrive = nullptr;

    // The table lists the drives that are not here from their snapshots.
    DriveState();
    DriveState(const DriveState& other) : Drives(other.Drives), CurrentDrive(Rebased(other)) {}
    DriveState& operator=(const DriveState& other) {
        Drives = other.Drives;
        CurrentDrive = Rebased(other);
        return *this;
    }

  private:
    DriveRecord* Rebased(const DriveState& other) {
        for (int n = 0; n < 26; ++n)
            if (other.CurrentDrive == other.Drives.ByLetter(n)) return Drives.ByLetter(n);
        return other.CurrentDrive;
    }
};

struct GlobalState : DriveState {
    std::string ExeDir;  // native directory of the executable, with trailing '/'
    std::string ExeBase; // executable path without its extension
    std::string ParamFileName;
    std::string ComputerName;
    std::string UserName; // empty until the version window looks it up
    StringList StartArgs;
    StringList ParamLines;

    int MainWidth = 1000;
    int MainHeight = 600;
    int MainLeft = 0;
    int MainTop = 0;
    int TreeWidth = 150;
    int NameColumnWidth = 150;
    int GraphColumnWidth = 200;
    int ShowRemovable = 1;
    int ShowFiles = 0;
    int SortKey = 0;
    int SortDescending = 0;
    int ShowSplash = 1;
    int StartDrive = 0;
    int SizeUnit = 0;
    int PercentBase = 0;
    std::string BarFlags = "111";
    std::string ColumnFlags = "1111";
    std::string CacheMode = "010";
    std::string CacheKinds = "0100";
    std::string CacheLetters = "00100000000000000000000000";
    std::string MeasureMode = "010000";
    int ExpiryDays = 7;
    int MeasureMulti = 0;
    int AskBeforeMeasure = 1;
    int SimCluster = -512;
    int RemeasureAfterAction = 0;
    int UseRecycleBin = 1;
    // A file with several names (hard links) adds its bytes once per
    // measurement; line 52, after the original 52 lines (a file without it
    // reads as on).
    int CountLinksOnce = 1;
    // A measurement keeps the result it replaces as the drive's previous
    // measurement, to show what changed; line 53.
    int KeepPrevious = 1;
    // Measurements write no file index (not a setting: for comparing the
    // walk with and without it).
    bool NoFileIndex = false;

    // The folder records of the drive being browsed.
    FolderList Folders;
};

// The one instance.
GlobalState& Global();

// Fills the global state: executable paths, start arguments, computer and user
// names, the parameter file. Booleans read as 0 or 1 (any value but 0 is on);
// window geometry and the values that index tables are put back into range,
// every other value is taken as it is. args are the command-line arguments
// after the program name.
void LoadParameters(const StringList& args);
// Stores the parameters into their lines and writes the parameter file; a
// failure to write is ignored.
int SaveParameters();

// A settings file in the settings folder (platform::ProgramFileFolders):
// "norvessa" + ".prm", or, for an executable with an extension (NRVS.exe),
// the extension replaced ("NRVS.prm").
std::string SettingsFileName(const std::string& extension);

// Detects the drives again, lists them (removable ones as ShowRemovable says)
// and makes the given letter's record current; INT_MAX, meaning no letter,
// stands for C:.
void RefreshDrives(int letter);

// Size text in the unit the user chose.
std::string FormatSizeText(double bytes);

} // namespace nrvs
