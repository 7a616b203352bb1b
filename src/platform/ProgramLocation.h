// Where the executable lives; every file of the program's own is named from it.
#pragma once

#include <string>
#include <vector>

namespace nrvs::platform {

// Native full path of the running executable as it was when the program
// started (/proc/self/exe, read once), or the path set with SetExecutablePath
// (tests point the program at a temporary folder).
std::string ExecutablePath();
void SetExecutablePath(const std::string& nativePath);
// The executable's path from the text of its /proc link: the kernel's
// " (deleted)" mark of a replaced file is dropped, unless runningFile (the
// link itself) shows that a file of that very name is the one running.
std::string ExecutablePathOf(const std::string& linkText, const std::string& runningFile);

// The executable's path without its extension: "/opt/x/norvessa" stays as it
// is, "D:/T/NRVS.exe" gives "D:/T/NRVS". Settings files append their extension.
std::string ExecutableBase(const std::string& exePath);
std::string ExecutableBase();

// Where the program keeps its own files: settings (parameters, window
// choices, the drive map) and data (drive caches, file indexes, their locks,
// rankings). Native folders with a trailing '/'.
//
// Beside the executable, as always, when its folder is writable and already
// holds a file of the program's own or the marker <name>.portable (a
// portable copy, the build folder, every existing user), and when the path
// was set with SetExecutablePath and names no file (a test or caller chose
// that folder for the files). Otherwise the copy is installed: settings in
// $XDG_CONFIG_HOME/norvessa/ (~/.config/norvessa/), data in
// $XDG_DATA_HOME/norvessa/ (~/.local/share/norvessa/), with the same file
// names. Decided on first use after the executable path was set, then kept,
// so the files of one run never split between two places.
struct ProgramFolders {
    std::string Settings;
    std::string Data;
    bool Installed = false;
};
ProgramFolders ProgramFileFolders();
// The decision for an executable path, given whether that path was chosen
// by SetExecutablePath (and may name no file) and the environment's
// XDG_CONFIG_HOME, XDG_DATA_HOME and HOME.
ProgramFolders ProgramFileFoldersFor(const std::string& exePath, bool chosen);

// Where the previous measurement of each drive is kept (its cache, file
// index and volume note, under the names of the current ones): the folder
// "previous/" inside the data folder, so that one more cache per drive never
// mixes with the files the program reads at start.
std::string PreviousMeasurementFolder();

// A settings file's path without its extension: the settings folder and the
// executable's name without extension ("~/.config/norvessa/norvessa").
std::string SettingsBase();
// The executable's file name without extension ("norvessa", "NRVS").
std::string ExecutableName();

// Before a file of the program's own is first written: creates its folder
// (mode 0700, and the missing ones above it) when that folder is the
// settings or data folder of an installed copy. A portable copy's folder is
// never created: it exists or the executable is not there. The folder of
// previous measurements is created for every copy, and must be a folder of
// its own: a link in its place is refused. True when the folder exists
// afterwards or was not the program's.
bool PrepareProgramFolderOf(const std::string& nativeFilePath);

// The help document: <base>.html beside the executable; for an installed
// copy also share/norvessa/ and share/doc/norvessa/ of the executable's
// prefix (/usr/bin gives /usr/share/norvessa/), then of /usr. The path
// beside the executable when none exists (for the message that says so).
std::string HelpDocumentPath();

// Lifts the soft limit of open files to the hard one: walking, copying and
// deleting deep trees keep a folder open per level.
void RaiseOpenFileLimit();

// Hands the memory that finished threads freed back to the system, so that
// what comes after a walk (its lines, the cache, the file index) does not
// add to it at the process's peak.
void ReturnFreedMemory();

// The user's home folder ($HOME, else the password database's), without a
// trailing slash; "/" when neither says.
std::string HomeFolder();

// gethostname and the effective user's login name; empty on failure.
std::string HostName();
std::string LoginName();

// Whether the standard stream (1 output, 2 errors) is a terminal.
bool IsTerminal(int stream);

// A native path the user gave (relative to the current folder, with "." and
// ".." and links in the folders above it) as an absolute native path with
// its folders resolved; its last name is kept as it is, so that a link
// names the link. Unresolvable paths come back as given.
std::string AbsoluteNativePath(const std::string& given);

// Replaces the running program with another (argument 0 included in args);
// returns only on failure, with the system's reason.
std::string RunInstead(const std::string& program, const std::vector<std::string>& args);

} // namespace nrvs::platform
