#include "platform/OpenWithEntry.h"

#include "platform/FileAccess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs::platform {

namespace {

// One argument of Exec: quoted, with the characters the rules reserve
// inside quotes escaped, and a literal percent sign doubled.
std::string ExecArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out + "\"";
}

// A value of the entry file: the escapes of the desktop entry rules.
std::string EntryValue(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Whether folder could be written in: it is a folder open to writing, or it
// is missing and the nearest folder above it that is there is one. Nothing
// is made: the folder comes when the entry is written.
bool CouldWriteIn(std::string folder) {
    for (;;) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode) && ::access(folder.c_str(), W_OK) == 0;
        if (errno != ENOENT) return false;
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return false;
        folder.resize(slash);
    }
}

} // namespace

std::string SendToPath(std::string* why) {
    std::string folder;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && *xdg == '/')
        folder = std::string(xdg) + "/applications";
    else if (home && *home == '/')
        folder = std::string(home) + "/.local/share/applications";
    if (folder.empty()) {
        if (why) *why = "ホームフォルダが分からないため、登録先のフォルダがありません。";
        return {};
    }
    if (!CouldWriteIn(folder)) {
        if (why) *why = "登録先のフォルダ " + folder + " に書き込めません。";
        return {};
    }
    return folder + "/Norvessa.desktop";
}

std::string SendToEntry(const std::string& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Norvessa\n"
           "Comment=フォルダの容量を計測します\n"
           "Exec=" +
           EntryValue(ExecArgument(executable)) +
           " %f\n"
           "Icon=drive-harddisk\n"
           "Terminal=false\n"
           "MimeType=inode/directory;\n"
           "Categories=System;Filesystem;\n";
}

bool SendToExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool CreateSendTo(const std::string& path, const std::string& executable) {
    if (path.empty()) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), 0755))
        return false;
    return ReplaceFile(path, SendToEntry(executable));
}

bool RemoveSendTo(const std::string& path) {
    if (path.empty()) return true;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;
    if (S_ISDIR(st.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

} // namespace nrvs::platform
