#include "core/views/Properties.h"

#include "lib/DirectoryListing.h"
#include "lib/SizeText.h"
#include "platform/Drives.h"
#include "platform/FolderEntries.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <cstdio>
#include <ctime>

namespace nrvs {

namespace {

std::string TimeText(int64_t secs) {
    struct tm tm {};
    platform::LocalTime(secs, tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

std::string SizeValue(double bytes) {
    if (bytes < 0) return FormatSizeText(-1, 0);
    return FormatSizeText(bytes, 0) + " (" + GroupedNumber(bytes, 0) + " バイト)";
}

std::string KindText(platform::ItemDetails::Kinds kind) {
    using D = platform::ItemDetails;
    switch (kind) {
    case D::KIND_FOLDER:
        return "フォルダ";
    case D::KIND_FILE:
        return "ファイル";
    case D::KIND_LINK:
        return "シンボリックリンク";
    case D::KIND_FIFO:
        return "名前付きパイプ";
    case D::KIND_SOCKET:
        return "ソケット";
    case D::KIND_DEVICE:
        return "デバイス";
    default:
        return "その他";
    }
}

} // namespace

std::string PermissionText(unsigned mode) {
    const char* letters = "rwxrwxrwx";
    std::string s;
    for (int i = 0; i < 9; ++i)
        s += (mode & (0400u >> i)) ? letters[i] : '-';
    // Set-user-id, set-group-id and sticky bits over the execute letters.
    if (mode & 04000) s[2] = (mode & 0100) ? 's' : 'S';
    if (mode & 02000) s[5] = (mode & 0010) ? 's' : 'S';
    if (mode & 01000) s[8] = (mode & 0001) ? 't' : 'T';
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
    platform::ItemDetails st;
    if (!platform::GetItemDetails(native, st)) return rows;
    const bool isDir = st.Kind == platform::ItemDetails::KIND_FOLDER;
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
    rows.push_back({"種類", isRoot ? "ドライブ" : KindText(st.Kind)});
    if (st.Kind == platform::ItemDetails::KIND_LINK && !st.LinkTarget.empty())
        rows.push_back({"リンク先", platform::ShownName(st.LinkTarget)});

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
            rows.push_back({"内容", "ファイル " + GroupedNumber(r->TreeFiles, 0) +
                                        " 個、フォルダ " + GroupedNumber(r->TreeFolders, 0) +
                                        " 個"});
        } else {
            rows.push_back({"サイズ", FormatSizeText(-1, 0)});
            rows.push_back({"ディスク上のサイズ", FormatSizeText(-1, 0)});
            rows.push_back({"内容", FormatSizeText(-1, 0)});
        }
    } else {
        const double size = static_cast<double>(st.Size);
        rows.push_back({"サイズ", SizeValue(size)});
        const double onDisk = static_cast<double>(st.Allocated);
        const double occupied =
            st.Kind == platform::ItemDetails::KIND_FILE
                ? RoundToClusters(onDisk < size ? onDisk : size,
                                  drive ? static_cast<int32_t>(drive->ClusterSize) : 0)
                : onDisk;
        rows.push_back({"ディスク上のサイズ", SizeValue(occupied)});
    }
    rows.push_back({"更新日時", TimeText(st.Modified)});
    rows.push_back({"アクセス日時", TimeText(st.Accessed)});
    rows.push_back({"作成日時", st.HasCreated ? TimeText(st.Created) : std::string("-")});
    if (!st.Owner.empty()) rows.push_back({"所有者", st.Owner});
    if (!st.Group.empty()) rows.push_back({"グループ", st.Group});
    if (st.HasMode) rows.push_back({"アクセス許可", PermissionText(st.Mode)});

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
