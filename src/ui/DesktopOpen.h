// Opening a file with the desktop's default application, and knowing
// beforehand whether the desktop has one: the launcher itself starts and
// reports success even when it then finds nothing to run.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace nrvs {

// Where the desktop keeps its associations, most important first.
struct DesktopDirs {
    QStringList Config;   // folders holding mimeapps.list
    QStringList Data;     // data folders, each with an applications/ folder
    QStringList Desktops; // the current desktop's names, lower case (for <name>-mimeapps.list)

    // From the XDG variables and their defaults.
    static DesktopDirs FromEnvironment();
};

// Whether an installed application is associated with the MIME type or one
// of the types it derives from (text/x-c++src is text/plain too), after the
// removed associations are taken out.
bool HasApplicationFor(const QString& mimeType, const DesktopDirs& dirs);

// The MIME type of a native file, from its name and its first bytes.
QString FileMimeType(const std::string& native);

enum class OpenResult { Opened, NoApplication };

// Opens a native file with the desktop's default application. NoApplication
// when none is registered for its type or the launcher cannot be started.
OpenResult OpenWithDesktop(const std::string& native,
                           const DesktopDirs& dirs = DesktopDirs::FromEnvironment());

} // namespace nrvs
