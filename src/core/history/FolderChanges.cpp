#include "core/history/Changes.h"

#include "core/history/MeasurementLines.h"
#include "lib/SizeText.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>
#include <unordered_map>

namespace nrvs {

namespace P = platform;

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
        case CHANGE_KEY_OCCUPIED:
            return f.Occupied;
        case CHANGE_KEY_FILES:
            return static_cast<double>(f.Files);
        default:
            return f.Size;
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
        Entry e{line.data(), static_cast<uint32_t>(path.size()),
                static_cast<uint32_t>(line.size())};
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
                while (k > 0 && out.size() - k < kTwinRun &&
                       P::CompareTextIgnoreCase(out[k - 1].Key(), e.Key()) == 0) {
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
        std::stable_sort(out.begin(), out.end(),
                         [](const Entry& a, const Entry& b) { return Compare(a, b) < 0; });
        // The first line of a path is the one a lookup finds.
        out.erase(std::unique(out.begin(), out.end(),
                              [](const Entry& a, const Entry& b) { return a.Path() == b.Path(); }),
                  out.end());
    }
    return out;
}

bool SameFigures(const FolderFigures& a, const FolderFigures& b) {
    return a.Size == b.Size && a.Occupied == b.Occupied && a.Files == b.Files &&
           a.Folders == b.Folders;
}

} // namespace

std::vector<FolderChange> CompareMeasurements(const Measurement& before, const Measurement& after,
                                              const std::string& below) {
    // The two sides are read at once on a drive of millions of folders:
    // each is a pass over a file of its own.
    std::vector<Entry> a;
    std::optional<std::jthread> side;
    if (before.Lines().size() + after.Lines().size() >= kTwoThreads)
        side.emplace([&] { a = EntriesOf(before); });
    else
        a = EntriesOf(before);
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
            const std::string_view x = a[i].Line().substr(a[i].PathLength),
                                   y = b[j].Line().substr(b[j].PathLength);
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

void RankChanges(std::vector<FolderChange>& changes, ChangeKey key, unsigned kinds, size_t top) {
    if ((kinds & CHANGE_ALL) != CHANGE_ALL)
        std::erase_if(changes,
                      [&](const FolderChange& c) { return (KindOfChange(c, key) & kinds) == 0; });
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
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ull;
    return h;
}
} // namespace

PreviousState PreviousFigures::Load(char letter, const std::string& currentHeader) {
    loaded_ = false;
    index_.clear();
    letter_ = letter;
    current_ = currentHeader;
    const PreviousState state = LoadPrevious(letter, currentHeader, m_);
    if (state != PREVIOUS_OK) return state;
    index_.reserve(m_.Lines().size());
    std::string_view path;
    for (size_t i = 0; i < m_.Lines().size(); ++i)
        if (PathOfLine(m_.Lines()[i], path))
            index_.emplace_back(PathHash(path), static_cast<uint32_t>(i));
    // Stable: of a path given twice, the first line is found, as elsewhere.
    std::stable_sort(index_.begin(), index_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    loaded_ = true;
    return PREVIOUS_OK;
}

bool PreviousFigures::Find(std::string_view path, FolderFigures& out) const {
    if (!loaded_) return false;
    const uint64_t h = PathHash(path);
    auto it = std::lower_bound(index_.begin(), index_.end(), h,
                               [](const auto& e, uint64_t v) { return e.first < v; });
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

} // namespace nrvs
