#include "core/Folders.h"

#include "platform/Ppath.h"

#include <algorithm>

namespace nrvs {

namespace {
constexpr std::string_view kSep = " > ";

uint64_t HashPath(std::string_view s) {
    // FNV-1a: cheap and good enough to spread paths; collisions are resolved
    // by comparing the text.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

void AppendInt(std::string& out, int32_t v) {
    out += std::to_string(v);
}
} // namespace

const std::string& FormatRecord(FolderRecord& r) {
    std::string& s = r.Line;
    s.clear();
    s.reserve(r.Path.size() + 64);
    s += r.Path;
    s += kSep;
    s += FloatText(r.TreeBytes);
    s += ':';
    s += FloatText(r.TreeOccupied);
    s += ':';
    s += FloatText(r.OwnBytes);
    s += ':';
    s += FloatText(r.OwnOccupied);
    for (int32_t v : {r.OwnFiles, r.TreeFiles, r.OwnFolders, r.TreeFolders, r.Archive, r.Hidden, r.ReadOnly, r.System}) {
        s += ':';
        AppendInt(s, v);
    }
    return s;
}

bool PathOfLine(std::string_view line, std::string_view& path) {
    // The last " > ", found from the end by its '>' alone: the numbers
    // behind it are short, and this runs for every line of a large cache.
    for (size_t i = line.size() >= 2 ? line.size() - 2 : 0; i >= 1; --i) {
        if (line[i] == '>' && line[i - 1] == ' ' && line[i + 1] == ' ') {
            path = line.substr(0, i - 1);
            return true;
        }
    }
    path = line;
    return false;
}

bool PathOfLine(const std::string& line, std::string_view& path) { return PathOfLine(std::string_view(line), path); }

bool ParseNumbers(std::string_view line, std::string_view& path, RecordNumbers& out) {
    out = RecordNumbers{};
    if (!PathOfLine(line, path)) return false;
    std::string_view rest = line.substr(path.size() + kSep.size());
    int field = 0;
    while (field < 12) {
        size_t colon = rest.find(':');
        std::string_view f = rest.substr(0, colon);
        if (field < 4) {
            out.Floats[field] = TextToFloat(f, 0);
        } else {
            int v = 0;
            out.Ints[field - 4] = ParseInt(f, v) ? v : 0;
        }
        ++field;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return true;
}

FolderRecord ParseRecord(const std::string& line) {
    FolderRecord r;
    r.Line = line;
    std::string_view path;
    RecordNumbers n;
    if (!ParseNumbers(line, path, n)) {
        r.Path = line;
        return r;
    }
    r.Path = std::string(path);
    r.TreeBytes = n.Floats[0];
    r.TreeOccupied = n.Floats[1];
    r.OwnBytes = n.Floats[2];
    r.OwnOccupied = n.Floats[3];
    int32_t* ints[] = {&r.OwnFiles, &r.TreeFiles, &r.OwnFolders, &r.TreeFolders,
                       &r.Archive,  &r.Hidden,    &r.ReadOnly,   &r.System};
    for (int k = 0; k < 8; ++k) *ints[k] = n.Ints[k];
    return r;
}

void FolderList::BuildIndex() {
    index_.clear();
    index_.reserve(Lines.size());
    std::string_view path;
    // A damaged line without " > " is all path and can be found as such; the
    // header line is no folder path, so no lookup of a folder meets it.
    for (size_t i = 0; i < Lines.size(); ++i) {
        PathOfLine(Lines[i], path);
        index_.push_back({HashPath(path), static_cast<int>(i)});
    }
    std::sort(index_.begin(), index_.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.line < b.line;
    });
    indexValid_ = true;
}

int FolderList::IndexOfPath(std::string_view path) {
    if (!indexValid_) BuildIndex();
    uint64_t h = HashPath(path);
    auto it = std::lower_bound(index_.begin(), index_.end(), h,
                               [](const IndexEntry& e, uint64_t v) { return e.hash < v; });
    std::string_view candidate;
    for (; it != index_.end() && it->hash == h; ++it) {
        PathOfLine(Lines[static_cast<size_t>(it->line)], candidate);
        if (candidate == path) return it->line;
    }
    return -1;
}

const FolderRecord* FolderList::RecordAt(int position) {
    if (position < 0 || position >= Count()) return nullptr;
    Current = ParseRecord(Lines[static_cast<size_t>(position)]);
    return &Current;
}

const FolderRecord* FolderList::FindPath(std::string_view path) { return RecordAt(IndexOfPath(path)); }

void FolderList::Clear() {
    Lines.clear();
    Changed();
}

void FolderList::Append(std::string line) {
    Lines.push_back(std::move(line));
    Changed();
}

void FolderList::Delete(int position) {
    if (position < 0 || position >= Count()) return;
    Lines.erase(Lines.begin() + position);
    Changed();
}

void FolderList::InsertFirst(std::string line) {
    Lines.insert(Lines.begin(), std::move(line));
    Changed();
}

void FolderList::Sort() {
    std::stable_sort(Lines.begin(), Lines.end(),
                     [](const std::string& a, const std::string& b) { return platform::LessIgnoreCase(a, b); });
    Changed();
}

void FolderList::SortMerged(size_t firstNew) {
    auto less = [](const std::string& a, const std::string& b) { return platform::LessIgnoreCase(a, b); };
    if (firstNew > Lines.size() || !std::is_sorted(Lines.begin(), Lines.begin() + static_cast<std::ptrdiff_t>(firstNew), less)) {
        Sort();
        return;
    }
    const auto mid = Lines.begin() + static_cast<std::ptrdiff_t>(firstNew);
    std::stable_sort(mid, Lines.end(), less);
    // Equal lines keep the kept one first, as the stable sort of the whole
    // list keeps them.
    std::inplace_merge(Lines.begin(), mid, Lines.end(), less);
    Changed();
}

FolderRecord EntryRecord(const std::string& folderPath, const DirEntry& e, FolderList& folders) {
    FolderRecord r;
    r.Path = folderPath + e.Name;
    if (e.IsDir) {
        if (const FolderRecord* found = folders.FindPath(r.Path)) return *found;
    }
    r.TreeBytes = e.Size;
    r.TreeOccupied = e.Occupied;
    r.OwnBytes = r.OwnOccupied = 0;
    r.OwnFiles = r.TreeFiles = r.OwnFolders = r.TreeFolders = -1;
    r.Archive = e.IsArchive;
    r.Hidden = e.IsHidden;
    r.ReadOnly = e.IsReadOnly;
    r.System = e.IsSystem;
    return r;
}

} // namespace nrvs
