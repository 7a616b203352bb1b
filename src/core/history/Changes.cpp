#include "core/history/Changes.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/index/FileIndex.h"
#include "core/index/FileIndexWriter.h"
#include "core/GlobalState.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>
#include <unordered_map>

namespace nrvs {

namespace P = platform;

std::string PreviousCacheName(char letter) { return P::PreviousMeasurementFolder() + "NRVS_" + letter + ".txt"; }
std::string PreviousIndexName(char letter) { return P::PreviousMeasurementFolder() + "NRVS_" + letter + ".idx"; }
std::string PreviousVolumeName(char letter) { return P::PreviousMeasurementFolder() + "NRVS_" + letter + ".vol"; }

// ---- one measurement's lines ----

Measurement::Measurement() = default;
Measurement::~Measurement() { Unmap(); }

void Measurement::Unmap() {
    if (guarded_) P::UnmapFileGuarded(map_, mapLength_);
    else P::UnmapFile(map_, mapLength_);
    map_ = nullptr;
    mapLength_ = 0;
    guarded_ = false;
}

bool Measurement::Map(const std::string& nativePath, bool lines) {
    Unmap();
    header_.clear();
    text_ = {};
    lines_.clear();
    // Guarded where the system allows: a file cut short by another program
    // while mapped reads as damaged lines instead of ending the process.
    guarded_ = P::MapFileGuarded(nativePath, map_, mapLength_);
    if (!guarded_ && !P::MapFileReadOnly(nativePath, map_, mapLength_)) return false;
    text_ = std::string_view(static_cast<const char*>(map_), mapLength_);
    if (!lines) {
        const size_t end = text_.find_first_of("\r\n");
        header_ = std::string(text_.substr(0, end));
        return true;
    }
    Split(text_);
    return true;
}

void Measurement::Borrow(const StringList& lines) {
    header_ = lines.empty() ? std::string() : lines[0];
    lines_.clear();
    lines_.reserve(lines.size());
    for (size_t i = 1; i < lines.size(); ++i) lines_.emplace_back(lines[i]);
}

void Measurement::Split(std::string_view text) {
    // Lines end with CR LF, LF or CR; no name holds either (control
    // characters are shown as U+2401 and on), so both are searched for with
    // memchr alone.
    const char* p = text.data();
    const char* end = p + text.size();
    lines_.reserve(text.size() / 64);
    bool first = true;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* stop = lf ? lf : end;
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
        const char* lineEnd = cr ? cr : stop;
        std::string_view line(p, static_cast<size_t>(lineEnd - p));
        if (first) header_ = std::string(line);
        else lines_.push_back(line);
        first = false;
        if (cr && cr + 1 == lf) p = lf + 1;
        else if (cr) p = cr + 1;
        else p = lf ? lf + 1 : end;
    }
}

// ---- checking ----

std::string PreviousStateText(PreviousState state, char letter, const PreviousFault& fault) {
    const std::string drive = std::string(1, letter) + ":";
    const std::string detail = fault.Line > 0 ? std::to_string(fault.Line) + " 行目: " + fault.Text : fault.Text;
    switch (state) {
    case PS_OK: return {};
    case PS_NONE:
        return Global().KeepPrevious ? drive + " の前回の計測結果がありません。もう一度計測すると、今回との変化を表示できます。"
                                     : "前回の計測結果を残さない設定になっています（設定の「前回の計測結果を残す」）。";
    case PS_DAMAGED:
        return drive + " の前回の計測結果は壊れているため使えません" + (detail.empty() ? "。" : "（" + detail + "）。");
    case PS_OTHER_DRIVE:
        return drive + " の前回の計測結果は別のドライブのものなので比べられません" + (detail.empty() ? "。" : "（" + detail + "）。");
    }
    return {};
}

namespace {

constexpr std::string_view kSep = " > ";

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// A path of some drive: "X:\" and more.
bool IsDrivePath(std::string_view path) {
    return path.size() >= 3 && path[0] >= 'A' && path[0] <= 'Z' && path[1] == ':' && path[2] == '\\';
}

std::string Shortened(std::string_view line) {
    std::string s(line.substr(0, 200));
    return line.size() > 200 ? s + "…" : s;
}

} // namespace

namespace {
// One folder line (line number of the file) of a measurement of drive letter.
PreviousState CheckLine(std::string_view line, char letter, size_t number, PreviousFault* fault) {
    const char own[3] = {letter, ':', '\\'};
    std::string_view path;
    const bool figures = PathOfLine(line, path) &&
                         std::count(line.begin() + static_cast<std::ptrdiff_t>(path.size()), line.end(), ':') == 11;
    if (!figures || path.empty() || path.back() != '\\') {
        if (fault) *fault = {number, Shortened(line)};
        return PS_DAMAGED;
    }
    if (!StartsWith(path, std::string_view(own, 3))) {
        if (fault) *fault = {number, Shortened(path)};
        return IsDrivePath(path) ? PS_OTHER_DRIVE : PS_DAMAGED;
    }
    return PS_OK;
}

bool CheckHeader(const std::string& header, PreviousFault* fault) {
    std::time_t start = 0;
    if (HeaderStart(header, start)) return true;
    if (fault) *fault = {1, Shortened(header)};
    return false;
}
} // namespace

PreviousState CheckMeasurement(const Measurement& m, char letter, PreviousFault* fault) {
    if (!CheckHeader(m.Header(), fault)) return PS_DAMAGED;
    size_t number = 1;
    for (std::string_view line : m.Lines())
        if (const PreviousState s = CheckLine(line, letter, ++number, fault); s != PS_OK) return s;
    return PS_OK;
}

namespace {
// "header<TAB>volume" of a line of the volume note.
std::pair<std::string, std::string> NoteLine(const StringList& lines, size_t n) {
    if (n >= lines.size()) return {};
    const std::string& l = lines[n];
    const size_t tab = l.find('\t');
    if (tab == std::string::npos) return {};
    return {l.substr(0, tab), l.substr(tab + 1)};
}
} // namespace

PreviousState LoadPrevious(char letter, const std::string& currentHeader, Measurement& out, PreviousFault* fault) {
    if (!Global().KeepPrevious || !out.Map(PreviousCacheName(letter))) return PS_NONE;
    const PreviousState state = CheckMeasurement(out, letter, fault);
    if (state != PS_OK) return state;
    // Both measurements of the letter, but perhaps of two volumes (another
    // stick in the same slot, a drive map changed): the note written with
    // each cache tells, when it still belongs to both.
    StringList note;
    LoadLines(note, PreviousVolumeName(letter));
    const auto [prevHeader, prevVolume] = NoteLine(note, 0);
    const auto [curHeader, curVolume] = NoteLine(note, 1);
    if (!prevHeader.empty() && prevHeader == out.Header() && curHeader == currentHeader && prevVolume != curVolume) {
        if (fault) {
            auto root = [](const std::string& v) { return v.substr(v.find('\t') == std::string::npos ? 0 : v.find('\t') + 1); };
            *fault = {0, root(prevVolume) + " → " + root(curVolume)};
        }
        return PS_OTHER_DRIVE;
    }
    return PS_OK;
}

std::string VolumeIdentity(const DriveRecord& drive) {
    const auto& roots = P::DriveRoots();
    const std::string root = drive.Index >= 0 && drive.Index < 26 ? roots[static_cast<size_t>(drive.Index)] : std::string();
    return FormatText("%08X", drive.SerialNumber) + "\t" + root;
}

// ---- folders ----

FolderFigures FiguresOfLine(std::string_view line) {
    std::string_view path;
    RecordNumbers n;
    ParseNumbers(line, path, n);
    return {n.Floats[0], n.Floats[1], n.Ints[1], n.Ints[3]};
}

double FolderChange::Delta(ChangeKey key) const {
    auto value = [key](const FolderFigures& f) {
        switch (key) {
        case CHK_OCCUPIED: return f.Occupied;
        case CHK_FILES: return static_cast<double>(f.Files);
        default: return f.Size;
        }
    };
    return (After ? value(New) : 0.0) - (Before ? value(Old) : 0.0);
}

unsigned KindOfChange(const FolderChange& c, ChangeKey key) {
    if (!c.Before) return CHANGE_NEW;
    if (!c.After) return CHANGE_REMOVED;
    const double d = c.Delta(key);
    return d > 0 ? CHANGE_GROWN : d < 0 ? CHANGE_SHRUNK : 0;
}

namespace {

// A folder line as the merge needs it: where its path ends.
struct Entry {
    const char* Text;
    uint32_t PathLength;
    uint32_t Length;
    std::string_view Path() const { return {Text, PathLength}; }
    std::string_view Line() const { return {Text, Length}; }
    // The path with the separator after it: the part of the line the cache's
    // order compares before the figures.
    std::string_view Key() const { return {Text, PathLength + kSep.size()}; }
};

// The cache's order of whole lines, made strict: the same for lines whose
// paths differ before the figures, and paths equal but for case (which the
// lines' order leaves to the figures) by their bytes.
int Compare(const Entry& a, const Entry& b) {
    const int c = P::CompareTextIgnoreCase(a.Key(), b.Key());
    if (c != 0) return c;
    const int d = a.Path().compare(b.Path());
    return (d > 0) - (d < 0);
}

// Folders a line is moved back at most among the ones whose paths differ
// from its own only in case.
constexpr size_t kTwinRun = 64;

// Lines of both sides from which they are read on two threads.
constexpr size_t kTwoThreads = 200000;

// The folder lines of one side in the merge order; a line without figures
// has no folder to compare and is left out.
std::vector<Entry> EntriesOf(const Measurement& m) {
    std::vector<Entry> out;
    out.reserve(m.Lines().size());
    bool ordered = true;
    std::string_view path;
    for (std::string_view line : m.Lines()) {
        if (!PathOfLine(line, path) || line.size() > UINT32_MAX) continue;
        Entry e{line.data(), static_cast<uint32_t>(path.size()), static_cast<uint32_t>(line.size())};
        if (ordered && !out.empty()) {
            const int c = P::CompareTextIgnoreCase(out.back().Key(), e.Key());
            if (c > 0) {
                ordered = false;
            } else if (c == 0) {
                // Folders whose paths differ only in case (a case-sensitive
                // disk) follow each other in the order of their figures: a
                // short run, put in the order of their bytes here rather than
                // every line sorted again. A path given twice keeps its first.
                // A long run (a cache made to be slow) is left to the sort.
                size_t k = out.size();
                bool twice = false;
                while (k > 0 && out.size() - k < kTwinRun && P::CompareTextIgnoreCase(out[k - 1].Key(), e.Key()) == 0) {
                    const int d = out[k - 1].Path().compare(e.Path());
                    if (d <= 0) {
                        twice = d == 0;
                        break;
                    }
                    --k;
                }
                if (out.size() - k < kTwinRun) {
                    if (!twice) out.insert(out.begin() + static_cast<std::ptrdiff_t>(k), e);
                    continue;
                }
                ordered = false;
            }
        }
        out.push_back(e);
    }
    if (!ordered) {
        std::stable_sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return Compare(a, b) < 0; });
        // The first line of a path is the one a lookup finds.
        out.erase(std::unique(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.Path() == b.Path(); }),
                  out.end());
    }
    return out;
}

bool SameFigures(const FolderFigures& a, const FolderFigures& b) {
    return a.Size == b.Size && a.Occupied == b.Occupied && a.Files == b.Files && a.Folders == b.Folders;
}

} // namespace

std::vector<FolderChange> CompareMeasurements(const Measurement& before, const Measurement& after,
                                              const std::string& below) {
    // The two sides are read at once on a drive of millions of folders:
    // each is a pass over a file of its own.
    std::vector<Entry> a;
    std::optional<std::jthread> side;
    if (before.Lines().size() + after.Lines().size() >= kTwoThreads) side.emplace([&] { a = EntriesOf(before); });
    else a = EntriesOf(before);
    const std::vector<Entry> b = EntriesOf(after);
    side.reset();
    std::vector<FolderChange> out;
    size_t i = 0, j = 0;
    auto inScope = [&](const Entry& e) { return below.empty() || StartsWith(e.Path(), below); };
    while (i < a.size() || j < b.size()) {
        // The same folder on both sides is the common case: its path's bytes
        // say so without the case-folding order.
        const bool same = i < a.size() && j < b.size() && a[i].PathLength == b[j].PathLength &&
                          std::memcmp(a[i].Text, b[j].Text, a[i].PathLength) == 0;
        const int c = same ? 0 : i == a.size() ? 1 : j == b.size() ? -1 : Compare(a[i], b[j]);
        if (c < 0) {
            if (inScope(a[i])) {
                FolderChange ch;
                ch.Path = a[i].Path();
                ch.Before = true;
                ch.Old = FiguresOfLine(a[i].Line());
                out.push_back(ch);
            }
            ++i;
        } else if (c > 0) {
            if (inScope(b[j])) {
                FolderChange ch;
                ch.Path = b[j].Path();
                ch.After = true;
                ch.New = FiguresOfLine(b[j].Line());
                out.push_back(ch);
            }
            ++j;
        } else {
            // Most folders of a drive do not change: their lines are the
            // same text, and nothing is parsed.
            const std::string_view x = a[i].Line().substr(a[i].PathLength), y = b[j].Line().substr(b[j].PathLength);
            if (x != y && inScope(b[j])) {
                FolderChange ch;
                ch.Path = b[j].Path();
                ch.Before = ch.After = true;
                ch.Old = FiguresOfLine(a[i].Line());
                ch.New = FiguresOfLine(b[j].Line());
                if (!SameFigures(ch.Old, ch.New)) out.push_back(ch);
            }
            ++i, ++j;
        }
    }
    return out;
}

namespace {
template <typename T, typename Less>
void TakeTop(std::vector<T>& items, size_t top, Less less) {
    if (top > 0 && top < items.size()) {
        std::partial_sort(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(top), items.end(), less);
        items.resize(top);
    } else {
        std::sort(items.begin(), items.end(), less);
    }
}
} // namespace

void RankChanges(std::vector<FolderChange>& changes, ChangeKey key, unsigned kinds, size_t top) {
    if ((kinds & CHANGE_ALL) != CHANGE_ALL)
        std::erase_if(changes, [&](const FolderChange& c) { return (KindOfChange(c, key) & kinds) == 0; });
    TakeTop(changes, top, [key](const FolderChange& x, const FolderChange& y) {
        const double dx = std::fabs(x.Delta(key)), dy = std::fabs(y.Delta(key));
        if (dx != dy) return dx > dy;
        return x.Path < y.Path;
    });
}

std::string SignedSizeText(double delta, int sizeUnit) {
    if (delta == 0) return "±0";
    return (delta > 0 ? "+" : "-") + FormatSizeText(std::fabs(delta), sizeUnit);
}

std::string SignedCountText(double delta) {
    if (delta == 0) return "±0";
    return (delta > 0 ? "+" : "-") + GroupedNumber(std::fabs(delta), 0);
}

namespace {
uint64_t PathHash(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}
} // namespace

PreviousState PreviousFigures::Load(char letter, const std::string& currentHeader) {
    loaded_ = false;
    index_.clear();
    letter_ = letter;
    current_ = currentHeader;
    const PreviousState state = LoadPrevious(letter, currentHeader, m_);
    if (state != PS_OK) return state;
    index_.reserve(m_.Lines().size());
    std::string_view path;
    for (size_t i = 0; i < m_.Lines().size(); ++i)
        if (PathOfLine(m_.Lines()[i], path)) index_.emplace_back(PathHash(path), static_cast<uint32_t>(i));
    // Stable: of a path given twice, the first line is found, as elsewhere.
    std::stable_sort(index_.begin(), index_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    loaded_ = true;
    return PS_OK;
}

bool PreviousFigures::Find(std::string_view path, FolderFigures& out) const {
    if (!loaded_) return false;
    const uint64_t h = PathHash(path);
    auto it = std::lower_bound(index_.begin(), index_.end(), h, [](const auto& e, uint64_t v) { return e.first < v; });
    std::string_view candidate;
    for (; it != index_.end() && it->first == h; ++it) {
        const std::string_view line = m_.Lines()[it->second];
        if (PathOfLine(line, candidate) && candidate == path) {
            out = FiguresOfLine(line);
            return true;
        }
    }
    return false;
}

// ---- files ----

namespace {

constexpr uint32_t kNone = UINT32_MAX;

struct FileHitRef {
    uint32_t Before = kNone, After = kNone;  // file numbers in each index
    uint32_t Folder = kNone;                 // holding After, or Before when it is gone
    uint64_t OldSize = 0, NewSize = 0;
    double Change() const { return std::fabs(static_cast<double>(NewSize) - static_cast<double>(OldSize)); }
};

// The direct subfolders or files of a folder, by name, into out (a list
// used again for every folder of a drive: no allocation for each). Most
// folders list their entries in order already.
void ChildFolders(const FileIndex& x, uint32_t folder, std::vector<uint32_t>& out) {
    out.clear();
    if (folder == kNone) return;
    for (uint32_t c = folder + 1, end = x.FolderSubtreeEnd(folder); c < end; c = x.FolderSubtreeEnd(c)) out.push_back(c);
    const auto byName = [&](uint32_t p, uint32_t q) { return x.FolderName(p) < x.FolderName(q); };
    if (!std::is_sorted(out.begin(), out.end(), byName)) std::sort(out.begin(), out.end(), byName);
}

void FilesOf(const FileIndex& x, uint32_t folder, bool skipGone, std::vector<uint32_t>& out) {
    out.clear();
    if (folder == kNone) return;
    const uint32_t first = x.FolderFirstFile(folder), n = x.FolderFileCount(folder);
    for (uint32_t f = first; f < first + n; ++f)
        if (!skipGone || !(x.Flags(f) & FI_GONE)) out.push_back(f);
    const auto byName = [&](uint32_t p, uint32_t q) { return x.Name(p) < x.Name(q); };
    if (!std::is_sorted(out.begin(), out.end(), byName)) std::sort(out.begin(), out.end(), byName);
}

// A folder that both measurements listed alike, files and subfolders by the
// same names in the same order (most of a drive between two measurements),
// is paired in that order without sorting its names: its files that
// changed size are hits, its subfolders go on the stack. False, with
// nothing done, when the listings differ (or a file is gone since).
bool PairedAsListed(const FileIndex& a, const FileIndex& b, uint32_t fa, uint32_t fb, std::vector<FileHitRef>& hits,
                    std::vector<std::pair<uint32_t, uint32_t>>& stack) {
    const uint32_t n = a.FolderFileCount(fa);
    if (n != b.FolderFileCount(fb)) return false;
    const uint32_t firstA = a.FolderFirstFile(fa), firstB = b.FolderFirstFile(fb);
    for (uint32_t k = 0; k < n; ++k)
        if ((b.Flags(firstB + k) & FI_GONE) || a.Name(firstA + k) != b.Name(firstB + k)) return false;
    const uint32_t endA = a.FolderSubtreeEnd(fa), endB = b.FolderSubtreeEnd(fb);
    uint32_t x = fa + 1, y = fb + 1;
    for (; x < endA && y < endB; x = a.FolderSubtreeEnd(x), y = b.FolderSubtreeEnd(y))
        // A damaged subtree end that does not move on is left to the
        // sorted walk.
        if (a.FolderName(x) != b.FolderName(y) || a.FolderSubtreeEnd(x) <= x || b.FolderSubtreeEnd(y) <= y) return false;
    if (x < endA || y < endB) return false;
    for (uint32_t k = 0; k < n; ++k)
        if (a.Size(firstA + k) != b.Size(firstB + k))
            hits.push_back({firstA + k, firstB + k, fb, a.Size(firstA + k), b.Size(firstB + k)});
    for (x = fa + 1, y = fb + 1; x < endA; x = a.FolderSubtreeEnd(x), y = b.FolderSubtreeEnd(y)) stack.emplace_back(x, y);
    return true;
}

// Walks two sorted lists of names side by side: both(a, b), onlyA(a), onlyB(b).
template <typename NameA, typename NameB, typename Both, typename OnlyA, typename OnlyB>
void MergeNames(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, NameA nameA, NameB nameB, Both both,
                OnlyA onlyA, OnlyB onlyB) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        const int c = i == a.size() ? 1 : j == b.size() ? -1 : nameA(a[i]).compare(nameB(b[j]));
        if (c < 0) onlyA(a[i++]);
        else if (c > 0) onlyB(b[j++]);
        else both(a[i++], b[j++]);
    }
}

} // namespace

std::vector<FileChange> CompareFileIndexes(const FileIndex& before, const FileIndex& after, const std::string& below,
                                           size_t top) {
    std::vector<FileHitRef> hits;
    const std::string start = below.empty() ? std::string(1, after.Letter()) + ":\\" : below;
    const int64_t sa = before.IsOpen() ? before.FindFolder(start) : -1;
    const int64_t sb = after.IsOpen() ? after.FindFolder(start) : -1;
    std::vector<std::pair<uint32_t, uint32_t>> stack;
    if (sa >= 0 || sb >= 0)
        stack.emplace_back(sa >= 0 ? static_cast<uint32_t>(sa) : kNone, sb >= 0 ? static_cast<uint32_t>(sb) : kNone);
    std::vector<uint32_t> filesA, filesB, subA, subB;
    while (!stack.empty()) {
        const auto [fa, fb] = stack.back();
        stack.pop_back();
        if (fa != kNone && fb != kNone && PairedAsListed(before, after, fa, fb, hits, stack)) continue;
        FilesOf(before, fa, false, filesA);
        FilesOf(after, fb, true, filesB);
        MergeNames(
            filesA, filesB, [&](uint32_t f) { return before.Name(f); }, [&](uint32_t f) { return after.Name(f); },
            [&](uint32_t x, uint32_t y) {
                if (before.Size(x) != after.Size(y)) hits.push_back({x, y, fb, before.Size(x), after.Size(y)});
            },
            [&](uint32_t x) { hits.push_back({x, kNone, fa, before.Size(x), 0}); },
            [&](uint32_t y) { hits.push_back({kNone, y, fb, 0, after.Size(y)}); });
        ChildFolders(before, fa, subA);
        ChildFolders(after, fb, subB);
        MergeNames(
            subA, subB, [&](uint32_t f) { return before.FolderName(f); }, [&](uint32_t f) { return after.FolderName(f); },
            [&](uint32_t x, uint32_t y) { stack.emplace_back(x, y); }, [&](uint32_t x) { stack.emplace_back(x, kNone); },
            [&](uint32_t y) { stack.emplace_back(kNone, y); });
    }
    std::vector<FileChange> out;
    out.reserve(std::min(hits.size(), top > 0 ? top : hits.size()));
    // The walk knows each file's folder; a folder's path is made once for
    // all its rows.
    std::unordered_map<uint64_t, std::string> folderPaths;
    auto pathOf = [&](const FileHitRef& h) {
        const bool isAfter = h.After != kNone;
        const FileIndex& x = isAfter ? after : before;
        auto [it, made] = folderPaths.try_emplace(uint64_t{h.Folder} << 1 | (isAfter ? 1u : 0u));
        if (made) it->second = x.FolderPath(h.Folder);
        return it->second + P::ShownName(x.Name(isAfter ? h.After : h.Before));
    };
    // Paths are made only for the ties at the cut and the rows kept.
    std::sort(hits.begin(), hits.end(), [](const FileHitRef& x, const FileHitRef& y) { return x.Change() > y.Change(); });
    size_t keep = top > 0 && top < hits.size() ? top : hits.size();
    while (keep < hits.size() && hits[keep].Change() == hits[keep - 1].Change()) ++keep;
    for (size_t k = 0; k < keep; ++k) {
        const FileHitRef& h = hits[k];
        out.push_back({pathOf(h), h.Before != kNone, h.After != kNone, h.OldSize, h.NewSize});
    }
    TakeTop(out, top, [](const FileChange& x, const FileChange& y) {
        const double dx = std::fabs(x.Delta()), dy = std::fabs(y.Delta());
        if (dx != dy) return dx > dy;
        return x.Path < y.Path;
    });
    return out;
}

// ---- keeping ----

namespace {

// The subtree of folder below of an index, as a walk of it would have
// gathered it: for putting it into another index of the same drive.
FileIndexData SubtreeData(const FileIndex* x, const std::string& below) {
    FileIndexData d;
    d.Files.resize(1);
    const int64_t found = x ? x->FindFolder(below) : -1;
    if (found < 0) {
        FileIndexData::Folder empty;
        empty.SubtreeEnd = 1;
        d.Folders.push_back(std::move(empty));
        return d;
    }
    d.LinksOnce = x->LinksOnce();
    const uint32_t a = static_cast<uint32_t>(found), end = x->FolderSubtreeEnd(a);
    for (uint32_t f = a; f < end; ++f) {
        FileIndexData::Folder o;
        o.Parent = f == a ? UINT32_MAX : x->FolderParent(f) - a;
        if (f != a) d.SetFolderName(o, x->FolderName(f));
        o.Begin = d.Files[0].Position();
        const uint64_t nameBytes = d.Files[0].NameBytes();
        o.Count = x->FolderFileCount(f);
        o.SubtreeEnd = x->FolderSubtreeEnd(f) - a;
        const uint32_t first = x->FolderFirstFile(f);
        for (uint32_t k = first; k < first + o.Count; ++k) {
            IndexedFile file;
            file.Size = x->Size(k);
            file.Occupied = x->Occupied(k);
            file.ModifiedTime = x->ModifiedTime(k);
            file.Flags = x->Flags(k);
            d.Files[0].Add(file, x->Name(k));
        }
        o.NameBytes = static_cast<uint32_t>(d.Files[0].NameBytes() - nameBytes);
        d.Folders.push_back(std::move(o));
    }
    return d;
}

bool Failed(std::string* why, const std::string& name) {
    if (why) *why = name + ": " + P::LastWriteError();
    return false;
}

} // namespace

PreviousKeeper::PreviousKeeper(const DriveRecord& drive, const std::string& below)
    : letter_(CacheFileName(drive)[CacheFileName(drive).size() - 5]), below_(below.size() > 3 ? below : std::string()),
      volume_(VolumeIdentity(drive)), oldIndex_(std::make_unique<FileIndex>()) {
    if (!Global().KeepPrevious) return;
    std::time_t start = 0;
    // Its lines are not split: a drive measurement keeps the old cache whole,
    // a folder measurement looks for its subtree's lines alone.
    hasCache_ = cache_.Map(CacheFileName(drive), false) && HeaderStart(cache_.Header(), start);
    if (!hasCache_) return;
    // Held from now: the save renames the new files over these names. A
    // drive measurement keeps them whole by a second name in the folder of
    // previous measurements, taken now and moved into place at Commit; the
    // bytes are copied only where the system cannot link them.
    if (below_.empty()) {
        P::LinkAsTemporary(CacheFileName(drive), PreviousCacheName(letter_), linkedCache_);
        if (!P::LinkAsTemporary(FileIndexName(letter_), PreviousIndexName(letter_), linkedIndex_))
            P::MapFileReadOnly(FileIndexName(letter_), index_, indexLength_);
    } else {
        oldIndex_->Open(FileIndexName(letter_), letter_, cache_.Header());
        oldCache_ = std::make_unique<P::FileReader>();
        if (!oldCache_->Open(CacheFileName(drive))) oldCache_.reset();
    }
}

PreviousKeeper::~PreviousKeeper() {
    P::UnmapFile(index_, indexLength_);
    // Second names not moved into place (no Commit, or a copy instead).
    for (const std::string* name : {&linkedCache_, &linkedIndex_})
        if (!name->empty()) P::RemoveOwnFile(*name);
}

bool PreviousKeeper::Commit(const std::string& newHeader, std::string* why) { return Commit(newHeader, why, {}); }

void SaveSignal::Set(bool saved) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (known_) return;
        known_ = true;
        saved_ = saved;
    }
    changed_.notify_all();
}

bool SaveSignal::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return known_; });
    return saved_;
}

namespace {
// Lines written aside and flushed on a thread of their own from the start,
// and given their file's name only when Put(true) says so: a file whose
// contents are known early is on disk by the time it is due.
class EarlyLines {
public:
    EarlyLines(const std::string& name, StringList lines) : lines_(std::move(lines)) {
        writer_ = std::thread([this, name] {
            written_ = P::ReplaceFileStreamedGated(name, [&](const P::PutBytes& put) {
                std::string text;
                for (const std::string& line : lines_) text += line + "\r\n";
                return put(text);
            }, [&] { return let_.Wait(); });
        });
    }
    ~EarlyLines() { Put(false); }
    EarlyLines(const EarlyLines&) = delete;
    EarlyLines& operator=(const EarlyLines&) = delete;
    // put: whether the lines take the name. True when they did.
    bool Put(bool put) {
        let_.Set(put);
        if (writer_.joinable()) writer_.join();
        return put && written_;
    }

private:
    StringList lines_;
    SaveSignal let_;
    bool written_ = false;
    std::thread writer_;
};
} // namespace

bool PreviousKeeper::Commit(const std::string& newHeader, std::string* why, const std::function<bool()>& saved) {
    std::optional<bool> known;
    const std::function<bool()> cacheSaved = [&] {
        if (!known) known = !saved || saved();
        return *known;
    };
    if (!Global().KeepPrevious) {
        if (!cacheSaved()) return true;
        // Kept no longer: an older one would pass for the one before this.
        for (const std::string& name : {PreviousCacheName(letter_), PreviousIndexName(letter_), PreviousVolumeName(letter_)})
            P::RemoveOwnFile(name);
        return true;
    }
    if (!P::PrepareProgramFolderOf(PreviousCacheName(letter_))) {
        if (why) *why = P::PreviousMeasurementFolder() + ": no folder of the program's own";
        return false;
    }
    // The volume note is as it will be unless the replaced cache is kept
    // whole (as a drive measurement keeps it): written meanwhile, and named
    // once the cache is saved.
    std::optional<EarlyLines> note;
    if (!below_.empty() || !hasCache_) note.emplace(PreviousVolumeName(letter_), VolumeNote(newHeader, false));
    auto noteVolume = [&](bool keptWhole) {
        if (!keptWhole && note && note->Put(true)) return;
        note.reset();
        SaveLines(VolumeNote(newHeader, keptWhole), PreviousVolumeName(letter_));
    };
    // Nothing was replaced (the drive had no measurement): what is kept
    // belongs to an older one and stays as it is.
    if (!hasCache_) {
        if (cacheSaved()) noteVolume(false);
        return true;
    }
    bool ok = true;
    bool whole = true;
    std::string previousHeader;
    // A folder's figures go into a previous measurement that is sound from
    // its header to its last line; its lines are checked as the merge reads
    // them, so the file is read once. Any other is replaced whole.
    bool refused = false;
    if (!below_.empty() && oldCache_ && PreviousHeader(previousHeader)) {
        whole = false;
        ok = KeepSubtree(previousHeader, why, refused, cacheSaved);
    }
    // Not replaced: the previous measurement is still the one before it.
    if (!cacheSaved()) return true;
    if (whole || refused) {
        whole = true;
        ok = KeepWhole(why);
    }
    noteVolume(whole && ok);
    return ok;
}

bool PreviousKeeper::KeepWhole(std::string* why) {
    const std::string cacheName = PreviousCacheName(letter_), indexName = PreviousIndexName(letter_);
    // The index goes first: a cache kept without it must not meet an older
    // index of its own date (they are matched by the cache's header line).
    bool indexOk = true;
    if (!linkedIndex_.empty() && P::RenameOwnFile(linkedIndex_, indexName)) {
        linkedIndex_.clear();
    } else {
        indexOk = linkedIndex_.empty() && (index_ ? P::ReplaceFileFromMapping(indexName, index_, indexLength_)
                                                  : P::RemoveOwnFile(indexName));
    }
    if (!indexOk) {
        std::string reason = P::LastWriteError();
        P::RemoveOwnFile(indexName);
        if (why) *why = indexName + ": " + reason;
    }
    if (!linkedCache_.empty()) {
        if (!P::RenameOwnFile(linkedCache_, cacheName)) return Failed(why, cacheName);
        linkedCache_.clear();
        return indexOk;
    }
    const std::string_view text = cache_.Text();
    if (!P::ReplaceFileFromMapping(cacheName, text.data(), text.size())) return Failed(why, cacheName);
    return indexOk;
}

bool PreviousKeeper::PreviousHeader(std::string& header) const {
    header = HeaderLineOf(PreviousCacheName(letter_));
    return !header.empty();
}

void PreviousKeeper::TakeReplaced(StringList lines) {
    replaced_ = std::move(lines);
    hasReplaced_ = true;
}

bool PreviousKeeper::KeepSubtree(const std::string& previousHeader, std::string* why, bool& refused,
                                 const std::function<bool()>& saved) {
    const std::string cacheName = PreviousCacheName(letter_), indexName = PreviousIndexName(letter_);
    // The replaced subtree's lines take the place of its lines there, merged
    // into the file as it is read: the rest is neither held nor parsed.
    const bool guessed = !hasReplaced_ && confirmLater_;
    StringList fresh = hasReplaced_ ? std::move(replaced_)
                       : guessed    ? SubtreeLinesIn(cache_.Text(), below_)
                                    : SubtreeLinesOf([&](char* b, size_t n) { return oldCache_->Read(b, n); }, below_);
    MergeExtras extras;
    size_t number = 1;
    extras.Accept = [&](std::string_view line) { return CheckLine(line, letter_, ++number, nullptr) == PS_OK; };
    // Once the merged lines are written aside and the new cache is saved,
    // the index goes first: the index of the previous measurement gets the
    // replaced subtree's files when both it and the replaced index belong
    // to their caches; otherwise it would describe other figures than the
    // lines, and goes.
    bool wrongGuess = false;
    extras.Gate = [&] {
        if (!saved()) return false;
        // In order, the halving found what the saver took out, in the same
        // order (fresh was sorted by the merge: a run of a file in order
        // stays as it is).
        if (guessed && !wrongGuess && confirmed_ && *confirmed_ != fresh) {
            wrongGuess = true;
            return false;
        }
        FileIndex prevIndex;
        bool indexOk = false;
        if (oldIndex_->IsOpen() && prevIndex.Open(indexName, letter_, previousHeader)) {
            const FileIndexData data = SubtreeData(oldIndex_.get(), below_);
            indexOk = WriteFileIndex(indexName, letter_, previousHeader, data, &prevIndex, below_);
        }
        if (!indexOk) P::RemoveOwnFile(indexName);
        return true;
    };
    bool merged = MergeIntoFile(cacheName, below_, previousHeader, fresh, why, &extras);
    if (!merged && wrongGuess) {
        fresh = std::move(*confirmed_);
        number = 1;
        merged = MergeIntoFile(cacheName, below_, previousHeader, fresh, why, &extras);
    }
    if (!merged) {
        refused = extras.Refused;
        if (!saved()) return false;
        // The index may be of the new lines already: it must not pass for
        // the old ones' files.
        P::RemoveOwnFile(indexName);
        return false;
    }
    return true;
}

StringList PreviousKeeper::VolumeNote(const std::string& newHeader, bool keptWhole) const {
    StringList note;
    LoadLines(note, PreviousVolumeName(letter_));
    note.resize(2);
    if (keptWhole) {
        const auto [header, volume] = NoteLine(note, 1);
        note[0] = header == cache_.Header() && !header.empty() ? note[1] : std::string();
    }
    note[1] = newHeader + "\t" + volume_;
    return note;
}

} // namespace nrvs
