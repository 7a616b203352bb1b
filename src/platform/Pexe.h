// Where the executable lives; every file of the program's own is named from it.
#pragma once

#include <string>

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

// Lifts the soft limit of open files to the hard one: walking, copying and
// deleting deep trees keep a folder open per level.
void RaiseOpenFileLimit();

// The user's home folder ($HOME, else the password database's), without a
// trailing slash; "/" when neither says.
std::string HomeFolder();

// gethostname and the effective user's login name; empty on failure.
std::string HostName();
std::string LoginName();

} // namespace nrvs::platform
