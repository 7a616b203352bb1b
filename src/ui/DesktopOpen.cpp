#include "ui/DesktopOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QTextStream>
#include <QUrl>

#include <cstdio>
#include <map>

namespace nrvs {

namespace {

// Groups of an ini-style file: group -> key -> value. Later duplicates of a
// key are ignored, as the desktop's own readers do.
using IniFile = QHash<QString, QHash<QString, QString>>;

IniFile ReadIni(const QString& path) {
    IniFile out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return out;
    QTextStream in(&f);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        auto& keys = out[group];
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key)) keys.insert(key, line.mid(eq + 1).trimmed());
    }
    return out;
}

QStringList ListValue(const QString& value) {
    QStringList out;
    for (const QString& part : value.split(u';', Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (!p.isEmpty()) out << p;
    }
    return out;
}

struct DesktopEntry {
    QStringList MimeTypes;
    bool Hidden = false;
};

// Installed applications by desktop id (the path below applications/ with
// '/' turned into '-'); the first folder that has an id wins.
std::map<QString, DesktopEntry> InstalledApplications(const DesktopDirs& dirs) {
    std::map<QString, DesktopEntry> out;
    for (const QString& data : dirs.Data) {
        const QDir apps(data + QStringLiteral("/applications"));
        if (!apps.exists()) continue;
        QDirIterator it(apps.path(), {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QString id = apps.relativeFilePath(file);
            id.replace(u'/', u'-');
            if (out.count(id)) continue;
            const IniFile ini = ReadIni(file);
            const auto entry = ini.value(QStringLiteral("Desktop Entry"));
            DesktopEntry e;
            e.MimeTypes = ListValue(entry.value(QStringLiteral("MimeType")));
            e.Hidden = entry.value(QStringLiteral("Hidden"))
                           .compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
            out.emplace(id, std::move(e));
        }
    }
    return out;
}

// The association files, most important first.
QStringList AssociationFiles(const DesktopDirs& dirs) {
    QStringList out;
    auto add = [&](const QString& folder, const QString& name) {
        for (const QString& desktop : dirs.Desktops)
            out << folder + u'/' + desktop + u'-' + name;
        out << folder + u'/' + name;
    };
    for (const QString& c : dirs.Config)
        add(c, QStringLiteral("mimeapps.list"));
    for (const QString& d : dirs.Data)
        add(d + QStringLiteral("/applications"), QStringLiteral("mimeapps.list"));
    for (const QString& d : dirs.Data)
        out << d + QStringLiteral("/applications/defaults.list");
    return out;
}

QStringList EnvList(const char* name, const QStringList& fallback) {
    const QString v = QString::fromLocal8Bit(qgetenv(name));
    QStringList out;
    for (const QString& p : v.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(p)) out << p;
    return out.isEmpty() ? fallback : out;
}

} // namespace

DesktopDirs DesktopDirs::FromEnvironment() {
    DesktopDirs d;
    const QString home = QDir::homePath();
    d.Config = EnvList("XDG_CONFIG_HOME", {home + QStringLiteral("/.config")});
    d.Config += EnvList("XDG_CONFIG_DIRS", {QStringLiteral("/etc/xdg")});
    d.Data = EnvList("XDG_DATA_HOME", {home + QStringLiteral("/.local/share")});
    d.Data += EnvList("XDG_DATA_DIRS",
                      {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    for (const QString& name :
         QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP")).split(u':', Qt::SkipEmptyParts))
        d.Desktops << name.toLower();
    return d;
}

bool HasApplicationFor(const QString& mimeType, const DesktopDirs& dirs) {
    QMimeDatabase db;
    const QMimeType mime = db.mimeTypeForName(mimeType);
    QStringList types{mimeType};
    if (mime.isValid()) {
        types << mime.name() << mime.aliases() << mime.allAncestors();
        types.removeDuplicates();
    }
    const auto apps = InstalledApplications(dirs);
    auto usable = [&](const QString& id) {
        auto it = apps.find(id);
        return it != apps.end() && !it->second.Hidden;
    };
    QList<IniFile> lists;
    for (const QString& f : AssociationFiles(dirs))
        lists << ReadIni(f);

    for (const QString& type : types) {
        // A removal holds for the files below the one that states it and
        // for the applications' own claims.
        QSet<QString> removed;
        for (const IniFile& list : lists) {
            for (const char* group : {"Default Applications", "Added Associations"})
                for (const QString& id :
                     ListValue(list.value(QString::fromLatin1(group)).value(type)))
                    if (!removed.contains(id) && usable(id)) return true;
            for (const QString& id :
                 ListValue(list.value(QStringLiteral("Removed Associations")).value(type)))
                removed.insert(id);
        }
        for (const auto& [id, entry] : apps)
            if (!entry.Hidden && !removed.contains(id) && entry.MimeTypes.contains(type))
                return true;
    }
    return false;
}

QString FileMimeType(const std::string& native) {
    // Read through the name's own bytes: a name that is not UTF-8 would not
    // survive a round trip through QString.
    QByteArray head;
    if (FILE* f = std::fopen(native.c_str(), "rb")) {
        head.resize(4096);
        head.resize(static_cast<qsizetype>(
            std::fread(head.data(), 1, static_cast<size_t>(head.size()), f)));
        std::fclose(f);
    }
    const size_t slash = native.find_last_of('/');
    const QString name =
        QString::fromStdString(slash == std::string::npos ? native : native.substr(slash + 1));
    return QMimeDatabase().mimeTypeForFileNameAndData(name, head).name();
}

OpenResult OpenWithDesktop(const std::string& native, const DesktopDirs& dirs) {
    if (!HasApplicationFor(FileMimeType(native), dirs)) return OpenResult::NoApplication;
    // Built from the name's bytes, so that the desktop gets them unchanged.
    const QUrl url =
        QUrl::fromEncoded("file://" + QByteArray::fromStdString(native).toPercentEncoding("/"));
    return QDesktopServices::openUrl(url) ? OpenResult::Opened : OpenResult::NoApplication;
}

} // namespace nrvs
