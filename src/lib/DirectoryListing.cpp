#include "lib/DirectoryListing.h"

#include "lib/NumberText.h"
#include "platform/FolderEntries.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "platform/FileOperations.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

namespace nrvs {

namespace P = platform;

double RoundToClusters(double onDisk, int32_t clusterSize) {
    if (clusterSize <= 0 || !(onDisk > 0)) return onDisk;
    double c = std::trunc(onDisk / clusterSize) * clusterSize;
    return onDisk <= c ? c : c + clusterSize;
}

namespace {
std::string FolderOfPattern(const std::string& pattern) {
    size_t p = pattern.rfind('\\');
    return p == std::string::npos ? std::string() : pattern.substr(0, p + 1);
}

bool Admits(int kind, bool isDir) {
    return !(kind == LIST_FILES && isDir) && !(kind == LIST_FOLDERS && !isDir);
}

// A copy's file while it is written (or one a killed copy left, until the
// next copy into the folder clears it) is none of the user's items.
bool IsOwnTemporary(const P::FindData& d) {
    return !(d.Attributes & P::FILE_ATTRIBUTE_DIRECTORY) && P::IsCopyTemporaryName(d.Name);
}
} // namespace

StringList& ListFolder(DirListing& listing, const std::string& pattern, int kind) {
    listing.Entries.clear();
    listing.FolderCount = 0;
    listing.FileCount = 0;
    listing.Folder = FolderOfPattern(pattern);
    std::string native;
    if (listing.Folder.empty() || !P::ToNative(listing.Folder, native)) return listing.Entries;
    P::Folder folder = P::Folder::Open(native);
    if (!folder.Valid()) return listing.Entries;
    P::FolderReader reader(folder, true);
    P::FindData d;
    std::string line;
    while (reader.Next(d)) {
        const bool isDir = d.Attributes & P::FILE_ATTRIBUTE_DIRECTORY;
        if (!Admits(kind, isDir) || IsOwnTemporary(d)) continue;
        isDir ? ++listing.FolderCount : ++listing.FileCount;
        char attrs[8] = {'.', '.', '.', '.', '.', '.', ' ', 0};
        if (isDir) attrs[0] = 'D';
        if (d.Attributes & P::FILE_ATTRIBUTE_ARCHIVE) attrs[1] = 'A';
        if (d.Attributes & P::FILE_ATTRIBUTE_HIDDEN) attrs[2] = 'H';
        if (d.Attributes & P::FILE_ATTRIBUTE_READONLY) attrs[3] = 'R';
        if (d.Attributes & P::FILE_ATTRIBUTE_SYSTEM) attrs[4] = 'S';
        if (d.Attributes & P::FILE_ATTRIBUTE_COMPRESSED) attrs[5] = 'C';
        if (d.Attributes & P::FILE_ATTRIBUTE_SPARSE_FILE) attrs[6] = 'S';
        double size = -1, onDisk = -1;
        if (!isDir) {
            size = static_cast<double>(d.Size);
            onDisk = (d.Attributes & (P::FILE_ATTRIBUTE_COMPRESSED | P::FILE_ATTRIBUTE_SPARSE_FILE))
                         ? static_cast<double>(d.Allocated)
                         : size;
        }
        line = P::ShownName(d.Name);
        if (isDir) line += '\\';
        listing.Entries.push_back(
            EntryLine(line, attrs, size, RoundToClusters(onDisk, listing.ClusterSize)));
    }
    return listing.Entries;
}

void SortListing(DirListing& listing, bool caseSensitive) {
    if (caseSensitive)
        std::stable_sort(listing.Entries.begin(), listing.Entries.end());
    else
        std::stable_sort(
            listing.Entries.begin(), listing.Entries.end(),
            [](const std::string& a, const std::string& b) { return P::LessIgnoreCase(a, b); });
}

const DirEntry* EntryAt(DirListing& listing, int position) {
    if (position < 0 || static_cast<size_t>(position) >= listing.Entries.size()) return nullptr;
    listing.CurrentEntry = ParseEntry(listing.Entries[static_cast<size_t>(position)]);
    return &listing.CurrentEntry;
}

std::string EntryLine(std::string_view name, const char (&marks)[8], double size, double occupied) {
    std::string line(name);
    line += " > ";
    line += marks;
    line += FloatText(size);
    line += ':';
    line += FloatText(occupied);
    return line;
}

DirEntry ParseEntry(const std::string& line) {
    DirEntry e;
    // The attribute letters and numbers never hold " > "; a name may.
    const size_t sep = line.rfind(" > ");
    std::string rest = sep == std::string::npos ? std::string() : line.substr(sep + 3);
    e.Name = sep == std::string::npos ? line : line.substr(0, sep);
    auto flag = [&](size_t i, char c) { return i < rest.size() && rest[i] == c ? 1 : 0; };
    e.IsDir = flag(0, 'D');
    e.IsArchive = flag(1, 'A');
    e.IsHidden = flag(2, 'H');
    e.IsReadOnly = flag(3, 'R');
    e.IsSystem = flag(4, 'S');
    e.IsCompressed = flag(5, 'C');
    e.IsSparse = flag(6, 'S');
    std::string numbers = rest.size() > 7 ? rest.substr(7) : std::string();
    auto [size, occupied] = SplitFirst(numbers, ":");
    e.Size = TextToFloat(size, -1);
    e.Occupied = TextToFloat(occupied, -1);
    return e;
}

int CountEntries(const std::string& pattern, int kind) {
    std::string native;
    if (!P::ToNative(FolderOfPattern(pattern), native)) return 0;
    P::Folder folder = P::Folder::Open(native);
    if (!folder.Valid()) return 0;
    // Folders need no statx here, and files are told apart by d_type.
    P::FolderReader reader(folder, false);
    P::FindData d;
    int n = 0;
    while (reader.Next(d))
        if (Admits(kind, d.Attributes & P::FILE_ATTRIBUTE_DIRECTORY) && !IsOwnTemporary(d)) ++n;
    return n;
}

int ReadAttributes(const std::string& path, PathAttributes& out) {
    out = PathAttributes{};
    std::string native;
    if (!P::ToNative(path, native)) return 0;
    uint32_t a = P::GetFileAttributesA(native);
    if (a == P::INVALID_FILE_ATTRIBUTES) return 0;
    out.IsDir = (a & P::FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    out.IsArchive = (a & P::FILE_ATTRIBUTE_ARCHIVE) ? 1 : 0;
    out.IsHidden = (a & P::FILE_ATTRIBUTE_HIDDEN) ? 1 : 0;
    out.IsReadOnly = (a & P::FILE_ATTRIBUTE_READONLY) ? 1 : 0;
    out.IsSystem = (a & P::FILE_ATTRIBUTE_SYSTEM) ? 1 : 0;
    out.IsCompressed = (a & P::FILE_ATTRIBUTE_COMPRESSED) ? 1 : 0;
    return 1;
}

} // namespace nrvs
