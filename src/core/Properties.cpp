#include "core/Properties.h"

#include "lib/Sdirlist.h"
#include "lib/Slib.h"
#include "platform/Pdrives.h"
#include "platform/Penum.h"
#include "platform/Ppath.h"

#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nrvs {

namespace {

std::string TimeText(const struct statx_timestamp& t) {
    std::time_t secs = static_cast<std::time_t>(t.tv_sec);
    struct tm tm{};
    ::localtime_r(&secs, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

std::string SizeValue(double bytes) {
    if (bytes < 0) return FormatSizeText(-1, 0);
    return FormatSizeText(bytes, 0) + " (" + GroupedNumber(bytes, 0) + " バイト)";
}

std::string UserText(uid_t uid) {
    std::vector<char> buf(16384);
    struct passwd pw{}, *res = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &res) == 0 && res) return std::string(res->pw_name) + " (" + std::to_string(uid) + ")";
    return std::to_string(uid);
}

std::string GroupText(gid_t gid) {
    std::vector<char> buf(16384);
    struct group gr{}, *res = nullptr;
    if (::getgrgid_r(gid, &gr, buf.data(), buf.size(), &res) == 0 && res) return std::string(res->gr_name) + " (" + std::to_string(gid) + ")";
    return std::to_string(gid);
}

std::string KindText(unsigned mode) {
    if (S_ISDIR(mode)) return "フォルダ";
    if (S_ISREG(mode)) return "ファイル";
    if (S_ISLNK(mode)) return "シンボリックリンク";
    if (S_ISFIFO(mode)) return "名前付きパイプ";
    if (S_ISSOCK(mode)) return "ソケット";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "デバイス";
    return "その他";
}

} // namespace

std::string PermissionText(unsigned mode) {
    const char* letters = "rwxrwxrwx";
    std::string s;
    for (int i = 0; i < 9; ++i) s += (mode & (0400u >> i)) ? letters[i] : '-';
    if (mode & S_ISUID) s[2] = (mode & S_IXUSR) ? 's' : 'S';
    if (mode & S_ISGID) s[5] = (mode & S_IXGRP) ? 's' : 'S';
    if (mode & S_ISVTX) s[8] = (mode & S_IXOTH) ? 't' : 'T';
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", mode & 07777);
    return s + " (" + octal + ")";
}

std::vector<PropertyRow> ItemProperties(const std::string& programPath, FolderList& folders,
                                        const DriveRecord* drive) {
    std::vector<PropertyRow> rows;
    platform::ItemPath item;
    if (!platform::CheckProgramPath(programPath, item)) return rows;
    const std::string native = item.Native();
    struct statx st{};
    if (::statx(AT_FDCWD, native.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
                STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return rows;
    const bool isDir = S_ISDIR(st.stx_mode);
    const bool isRoot = item.IsRoot();
    std::string folderPath = programPath;
    if (isDir && folderPath.back() != '\\') folderPath += '\\';

    std::string name, location;
    if (isRoot) {
        name = folderPath.substr(0, 2);
        if (drive && !drive->VolumeName.empty()) name += "  " + drive->VolumeName;
    } else {
        std::string p = programPath;
        if (p.back() == '\\') p.pop_back();
        size_t cut = p.rfind('\\');
        name = p.substr(cut + 1);
        location = p.substr(0, cut + 1);
    }
    rows.push_back({"名前", name});
    if (!isRoot) rows.push_back({"場所", location});
    rows.push_back({"種類", isRoot ? "ドライブ" : KindText(st.stx_mode)});
    if (S_ISLNK(st.stx_mode)) {
        std::vector<char> target(st.stx_size + 2);
        ssize_t n = ::readlink(native.c_str(), target.data(), target.size() - 1);
        if (n >= 0) rows.push_back({"リンク先", platform::ShownName(std::string_view(target.data(), static_cast<size_t>(n)))});
    }

    if (isRoot && drive) {
        rows.push_back({"ファイルシステム", drive->FileSystem});
        rows.push_back({"マウントポイント", item.Root});
        rows.push_back({"容量", SizeValue(drive->TotalBytes)});
        rows.push_back({"使用領域", SizeValue(drive->TotalBytes - drive->FreeBytes)});
        rows.push_back({"空き領域", SizeValue(drive->FreeBytes)});
        rows.push_back({"クラスタサイズ", GroupedNumber(drive->ClusterSize, 0) + " バイト"});
    }
    if (isDir) {
        const FolderRecord* r = folders.FindPath(folderPath);
        if (r) {
            rows.push_back({"サイズ", SizeValue(r->TreeBytes)});
            rows.push_back({"ディスク上のサイズ", SizeValue(r->TreeOccupied)});
            rows.push_back({"内容", "ファイル " + GroupedNumber(r->TreeFiles, 0) + " 個、フォルダ " +
                                        GroupedNumber(r->TreeFolders, 0) + " 個"});
        } else {
            rows.push_back({"サイズ", FormatSizeText(-1, 0)});
            rows.push_back({"ディスク上のサイズ", FormatSizeText(-1, 0)});
            rows.push_back({"内容", FormatSizeText(-1, 0)});
        }
    } else {
        const double size = static_cast<double>(st.stx_size);
        rows.push_back({"サイズ", SizeValue(size)});
        const double onDisk = static_cast<double>(st.stx_blocks) * 512;
        const double occupied = S_ISREG(st.stx_mode)
                                    ? RoundToClusters(onDisk < size ? onDisk : size, drive ? static_cast<int32_t>(drive->ClusterSize) : 0)
                                    : onDisk;
        rows.push_back({"ディスク上のサイズ", SizeValue(occupied)});
    }
    rows.push_back({"更新日時", TimeText(st.stx_mtime)});
    rows.push_back({"アクセス日時", TimeText(st.stx_atime)});
    if (st.stx_mask & STATX_BTIME) rows.push_back({"作成日時", TimeText(st.stx_btime)});
    rows.push_back({"所有者", UserText(st.stx_uid)});
    rows.push_back({"グループ", GroupText(st.stx_gid)});
    rows.push_back({"アクセス許可", PermissionText(st.stx_mode)});

    // The attribute letters of the lister, as the list's entries carry them.
    uint32_t a = platform::GetFileAttributesA(native);
    std::string attrs = ".......";
    if (a != platform::INVALID_FILE_ATTRIBUTES) {
        if (a & platform::FILE_ATTRIBUTE_DIRECTORY) attrs[0] = 'D';
        if (a & platform::FILE_ATTRIBUTE_ARCHIVE) attrs[1] = 'A';
        if (a & platform::FILE_ATTRIBUTE_HIDDEN) attrs[2] = 'H';
        if (a & platform::FILE_ATTRIBUTE_READONLY) attrs[3] = 'R';
        if (a & platform::FILE_ATTRIBUTE_SYSTEM) attrs[4] = 'S';
        if (a & platform::FILE_ATTRIBUTE_COMPRESSED) attrs[5] = 'C';
        if (a & platform::FILE_ATTRIBUTE_SPARSE_FILE) attrs[6] = 'S';
    }
    rows.push_back({"属性", attrs});
    return rows;
}

} // namespace nrvs
