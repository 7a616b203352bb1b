// The program offered for folders in the file managers' "Open With": a
// desktop entry Norvessa.desktop in the user's applications folder.
#pragma once

#include <string>

namespace nrvs::platform {

// $XDG_DATA_HOME/applications/Norvessa.desktop (default
// ~/.local/share/applications). Empty, with the reason, when the folder
// cannot be determined or could not be written (nor made). Nothing is made
// here: CreateSendTo makes the folder when it writes the entry.
std::string SendToPath(std::string* why = nullptr);

// The text of the entry for an executable: opens a folder given by a file
// manager, quoted as the desktop entry rules require.
std::string SendToEntry(const std::string& executable);

// Whether a regular file (not a folder) is at path.
bool SendToExists(const std::string& path);
// Writes the entry (atomically) unless a file is there already; true when
// the file exists afterwards.
bool CreateSendTo(const std::string& path, const std::string& executable);
// Removes the file; a missing one is no error.
bool RemoveSendTo(const std::string& path);

} // namespace nrvs::platform
