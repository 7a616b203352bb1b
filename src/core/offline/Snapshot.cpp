#include "core/offline/Snapshot.h"

#include "core/cache/Cache.h"
#include "core/exchange/Ncdu.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstdlib>

namespace nrvs {

namespace P = platform;

const char* const kOfflineCommandTip =
    "このドライブは今ここにないため使えません（前回の計測結果を表示しています）";

std::string VolumeNoteName(char letter) {
    return P::ProgramFileFolders().Data + "NRVS_" + std::string(1, letter) + ".vol";
}

namespace {

char LetterOf(const DriveRecord& drive) {
    return drive.RootPath.empty() ? static_cast<char>('A' + drive.Index) : drive.RootPath[0];
}

bool ParseNumber(const std::string& text, double& out) {
    if (text.empty() || text.size() > 30) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(v >= 0) || v > 1e20) return false;
    out = v;
    return true;
}

bool ParseUnsigned(const std::string& text, uint32_t& out) {
    double v = 0;
    if (!ParseNumber(text, v) || v > 4294967295.0 ||
        v != static_cast<double>(static_cast<uint64_t>(v)))
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

} // namespace

bool SaveVolumeNote(const DriveRecord& drive, const std::string& nativeRoot,
                    const std::string& cacheHeader) {
    // Every value is one line: control bytes are shown as paths show them.
    std::string text = "volume=1\r\n";
    text += "label=" + P::ShownName(drive.VolumeName) + "\r\n";
    text += "filesystem=" + P::ShownName(drive.FileSystem) + "\r\n";
    text += "category=" + std::to_string(drive.Category) + "\r\n";
    text += "serial=" + std::to_string(drive.SerialNumber) + "\r\n";
    text += "cluster=" + std::to_string(drive.ClusterSize) + "\r\n";
    text += "total=" + FloatText(drive.TotalBytes) + "\r\n";
    text += "free=" + FloatText(drive.FreeBytes) + "\r\n";
    text += "where=" + P::ShownName(nativeRoot) + "\r\n";
    if (!drive.FolderVolume.empty()) text += "inside=" + P::ShownName(drive.FolderVolume) + "\r\n";
    // A header line holds no line end: the cache's first line ends there.
    text += "cache=" + cacheHeader + "\r\n";
    return P::ReplaceFile(VolumeNoteName(LetterOf(drive)), text);
}

VolumeNote ReadVolumeNote(char letter) {
    VolumeNote note;
    if (letter < 'A' || letter > 'Z') return note;
    std::string text;
    if (!P::ReadFileStart(VolumeNoteName(letter), 1 << 16, text)) return note;
    bool marked = false, ok = true;
    ForEachKeyValue(text, [&](const std::string& key, const std::string& value) {
        if (key == "volume")
            marked = value == "1";
        else if (key == "label")
            note.VolumeName = CutToBytes(value, DriveTable::kVolumeNameBuffer - 1);
        else if (key == "filesystem")
            note.FileSystem = CutToBytes(value, DriveTable::kFileSystemBuffer - 1);
        else if (key == "category")
            ok = ParseUnsigned(value, note.Category) && ok;
        else if (key == "serial")
            ok = ParseUnsigned(value, note.SerialNumber) && ok;
        else if (key == "cluster")
            ok = ParseUnsigned(value, note.ClusterSize) && ok;
        else if (key == "total")
            ok = ParseNumber(value, note.TotalBytes) && ok;
        else if (key == "free")
            ok = ParseNumber(value, note.FreeBytes) && ok;
        else if (key == "where")
            note.Where = value;
        else if (key == "inside")
            note.FolderVolume = value;
        else if (key == "cache")
            note.Cache = value;
    });
    if (note.Category < 1 || note.Category > 5) note.Category = 2;
    if (note.FreeBytes > note.TotalBytes) note.FreeBytes = note.TotalBytes;
    note.Valid = marked && ok;
    if (!note.Valid) note = VolumeNote{};
    return note;
}

bool CacheOfOtherVolume(const DriveRecord& drive, const std::string& cacheHeader,
                        std::string* was) {
    const VolumeNote note = ReadVolumeNote(LetterOf(drive));
    if (!note.Valid || note.Cache.empty() || note.Cache != cacheHeader) return false;
    const bool same = note.SerialNumber == drive.SerialNumber &&
                      note.FileSystem == CutToBytes(P::ShownName(drive.FileSystem),
                                                    DriveTable::kFileSystemBuffer - 1) &&
                      note.Where == P::ShownName(P::ToNative(drive.RootPath));
    if (!same && was)
        *was = (note.VolumeName.empty() ? std::string() : note.VolumeName + " ") +
               FormatText("%04X-%04X", note.SerialNumber >> 16, note.SerialNumber & 0xFFFF) + " " +
               note.FileSystem + " " + note.Where;
    return !same;
}

bool HasSnapshot(char letter) {
    if (letter < 'A' || letter > 'Z') return false;
    DriveRecord probe;
    probe.Index = letter - 'A';
    return !CacheHeaderLine(probe).empty();
}

void FillOfflineRecord(DriveRecord& r, FolderList* folders) {
    const char letter = static_cast<char>('A' + r.Index);
    r.RootPath = std::string(1, letter) + ":\\";
    r.Offline = 1;
    r.Ready = 1;
    r.Removable = 0;
    const VolumeNote note = ReadVolumeNote(letter);
    const ImportInfo import = ReadImportInfo(letter);
    if (note.Valid && !import.Valid) {
        r.VolumeName = note.VolumeName;
        r.FileSystem = note.FileSystem;
        r.Category = note.Category;
        r.SerialNumber = note.SerialNumber;
        r.ClusterSize = note.ClusterSize;
        r.TotalBytes = note.TotalBytes;
        r.FreeBytes = note.FreeBytes;
        r.FolderVolume = note.FolderVolume;
        return;
    }
    r.FolderVolume.clear();
    // A scan of another machine says nothing of its volume: the drive is
    // taken to be as full as what was scanned, so no space is left over
    // for a reserved row.
    r.VolumeName =
        import.Valid
            ? CutToBytes(
                  P::ShownName(import.Host.empty() ? import.Root : import.Host + ":" + import.Root),
                  DriveTable::kVolumeNameBuffer - 1)
            : std::string();
    r.FileSystem = import.Valid ? "ncdu" : "";
    r.Category = import.Valid ? 3 : 2;
    r.SerialNumber = 0;
    r.ClusterSize = 0;
    r.FreeBytes = 0;
    // Without the lines at hand, what was found when they were loaded stays.
    if (folders) {
        const FolderRecord* root = folders->FindPath(r.RootPath);
        r.TotalBytes = root ? std::max(0.0, root->TreeOccupied) : 0;
    }
}

namespace {

class Snapshots : public OfflineDrives {
  public:
    bool HasSnapshot(char letter) const override { return nrvs::HasSnapshot(letter); }
    void FillRecord(DriveRecord& record) const override { FillOfflineRecord(record); }
};

} // namespace

const OfflineDrives& SnapshotDrives() {
    static const Snapshots snapshots;
    return snapshots;
}

void ListSnapshot(DirListing& listing, const FolderList& folders, const FileIndex* index,
                  const std::string& pattern, int kind, StringList* hasSubfolders) {
    listing.Entries.clear();
    listing.FolderCount = 0;
    listing.FileCount = 0;
    if (hasSubfolders) hasSubfolders->clear();
    const size_t cut = pattern.rfind('\\');
    listing.Folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
    const std::string& folder = listing.Folder;
    if (folder.size() < 3) return;
    if (kind != LIST_FILES) {
        // The cache's order is not relied on (a file edited by hand): one
        // pass over every line finds the children and which have their own.
        StringList children;
        std::string_view path;
        for (int i = 0; i < folders.Count(); ++i) {
            if (!PathOfLine(folders.LineAt(i), path) || path.size() <= folder.size() + 1 ||
                path.compare(0, folder.size(), folder) != 0 || path.back() != '\\')
                continue;
            const std::string_view rest =
                path.substr(folder.size(), path.size() - folder.size() - 1);
            const size_t slash = rest.find('\\');
            if (rest.empty() || slash == 0) continue;
            if (slash == std::string_view::npos)
                children.emplace_back(rest);
            else if (hasSubfolders)
                hasSubfolders->emplace_back(rest.substr(0, slash));
        }
        std::sort(children.begin(), children.end());
        children.erase(std::unique(children.begin(), children.end()), children.end());
        for (const auto& name : children) {
            static const char kFolder[8] = {'D', '.', '.', '.', '.', '.', ' ', 0};
            listing.Entries.push_back(EntryLine(name + "\\", kFolder, -1, -1));
            ++listing.FolderCount;
        }
        if (hasSubfolders) {
            std::sort(hasSubfolders->begin(), hasSubfolders->end());
            hasSubfolders->erase(std::unique(hasSubfolders->begin(), hasSubfolders->end()),
                                 hasSubfolders->end());
        }
    }
    if (kind == LIST_FOLDERS || !index || !index->IsOpen()) return;
    const int64_t at = index->FindFolder(folder);
    if (at < 0) return;
    const uint32_t first = index->FolderFirstFile(static_cast<uint32_t>(at));
    const uint32_t count = index->FolderFileCount(static_cast<uint32_t>(at));
    for (uint32_t i = first; i < first + count; ++i) {
        const uint8_t flags = index->Flags(i);
        if (flags & INDEX_FLAG_GONE) continue;
        char attrs[8] = {'.', '.', '.', '.', '.', '.', ' ', 0};
        if (flags & INDEX_FLAG_COMPRESSED) attrs[5] = 'C';
        if (flags & INDEX_FLAG_SPARSE) attrs[6] = 'S';
        listing.Entries.push_back(EntryLine(P::ShownName(index->Name(i)), attrs,
                                            static_cast<double>(index->Size(i)),
                                            static_cast<double>(index->Occupied(i))));
        ++listing.FileCount;
    }
}

std::string SnapshotText(const DriveRecord& drive, const std::string& cacheHeader) {
    const std::string date = cacheHeader.substr(0, cacheHeader.find('='));
    const ImportInfo import = ReadImportInfo(LetterOf(drive));
    if (import.Valid) {
        std::string from = P::ShownName(import.Root);
        if (!import.Host.empty()) from = P::ShownName(import.Host) + ":" + from;
        std::string text = "取り込み: " + from;
        if (!import.Program.empty()) text += " (" + P::ShownName(import.Program) + ")";
        if (!date.empty()) text += " " + date;
        return text;
    }
    std::string text =
        "オフライン: " + (date.empty() ? std::string("計測日時不明") : date + " の計測");
    const VolumeNote note = ReadVolumeNote(LetterOf(drive));
    if (note.Valid && !note.Where.empty()) text += " (" + note.Where + ")";
    return text;
}

} // namespace nrvs
