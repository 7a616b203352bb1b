// From a path given on the command line to the program-form path and the
// drive it lies on. Each function prints why it failed.
#pragma once

#include <string>

namespace nrvs {
struct DriveRecord;
class FolderList;
} // namespace nrvs

namespace nrvs::cli {

// The drive map and mounts, read once in the run: a command looks at them
// for its path and again for its drive, a few milliseconds apart.
void ReadDriveMapOnce();

// A drive ("C:"), a program-form path ("C:\\usr\\") or a native path
// ("/usr") as a checked program-form path. A native path's last name is not
// resolved, so a link names itself. Prints why not and returns false when the
// path is malformed or lies on no drive.
bool ResolvePath(const std::string& arg, std::string& path);

// The same for a folder: the path ends in a backslash, and with mustExist the
// folder must be there (a file or a missing folder is refused).
bool ResolveFolder(const std::string& arg, std::string& path, bool mustExist = true);

// Whether letter holds a last measurement only: an imported scan, or a
// measured drive that is not here (not connected, or its folder or device
// gone). Every verb that reads a last measurement takes such a letter.
bool HoldsLastMeasurementOnly(char letter);

// A path on an imported drive or one that is not here ("X:" or "X:\\a\\"),
// which has no folder on this machine to check it against: only its form is
// checked. False when the letter holds neither an import nor a measurement,
// or is a drive of this machine that is here.
bool ImportedFolder(const std::string& arg, std::string& path);

// A folder whose last measurement is wanted: of an imported drive or one
// that is not here (ImportedFolder), else of a drive that is here, which
// need not hold it any more. Prints why not and returns false otherwise.
bool ResolveMeasuredFolder(const std::string& arg, std::string& path);

// Loads the parameters (never written back) and makes the path's drive the
// current one. nullptr, with a message, when the drive is not ready.
// onlyThisDrive: the other drives' volumes are not read (a measurement needs
// its own drive only, and reading every volume costs a cold start dearly).
DriveRecord* OpenDriveOf(const std::string& path, bool onlyThisDrive = false);

// OpenDriveOf for a verb that reads the path's last measurement: a letter
// that holds a last measurement only is made current with the figures noted
// of it (Offline), its disk never read.
DriveRecord* OpenMeasuredDrive(const std::string& path, bool onlyThisDrive = false);

// Loads the parameters and the cache of the drive a program-form path lies
// on, without reading the drive itself (it may not be here). False, with a
// message, when the drive has not been measured.
bool LoadMeasuredCache(const std::string& path, DriveRecord& record, FolderList& list);

} // namespace nrvs::cli
