#include "core/views/Rank.h"

#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace nrvs {

namespace {

// Counts the comparisons of every computation of this run of the program,
// modulo 100: the message line follows the first of each hundred.
uint32_t gComparisons = 0;

double KeyOfNumbers(const RecordNumbers& n, int key) {
    switch (key) {
    case 0:
        return n.Floats[0];
    case 1:
        return n.Floats[1];
    case 2:
        return n.Floats[1] - n.Floats[0];
    case 3:
        return n.Floats[2];
    case 4:
        return n.Floats[3];
    case 5:
        return n.Ints[0];
    case 6:
        return n.Ints[1];
    case 7:
        return n.Ints[2];
    case 8:
        return n.Ints[3];
    default:
        return 0;
    }
}

// The fields of a folder line that a ranking needs, read as ParseRecord
// reads them: plain digits (all a cache writes for counts and for sizes
// below 10^15) take a short path, anything else the general converters.
struct RankFields {
    std::string_view Path;
    double Key = 0;
    int32_t OwnFiles = 0;
    int32_t Attributes[4] = {0, 0, 0, 0};
};

inline bool PlainDigits(std::string_view f, uint64_t& v) {
    if (f.empty() || f.size() > 15) return false;
    v = 0;
    for (char c : f) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

inline double FloatField(std::string_view f) {
    uint64_t v;
    return PlainDigits(f, v) ? static_cast<double>(v) : TextToFloat(f, 0);
}

inline int32_t IntField(std::string_view f) {
    uint64_t v;
    if (f.size() <= 9 && PlainDigits(f, v)) return static_cast<int32_t>(v);
    int i = 0;
    return ParseInt(f, i) ? i : 0;
}

// The last " > " of a line, found from its end: the numbers after it are
// short, and a backward search skips to each '>' at once.
inline size_t LastSeparator(std::string_view line) {
    size_t end = line.size();
    while (end >= 3) {
        const size_t gt = line.substr(1, end - 2).rfind('>');
        if (gt == std::string_view::npos) break;
        size_t p = gt + 1;
        if (line[p - 1] == ' ' && p + 1 < line.size() && line[p + 1] == ' ') return p - 1;
        end = p;
    }
    return std::string_view::npos;
}

// The twelve figures of a line. Left uninitialised until split: clearing
// them for each of millions of lines costs more than reading them.
struct Figures {
    const char* At[12];
    size_t Length[12];
    std::string_view operator[](int k) const { return {At[k], Length[k]}; }
    void Set(int k, std::string_view v) {
        At[k] = v.data();
        Length[k] = v.size();
    }
};

// The twelve figures after the path, split as the general reading below
// splits them; missing ones are empty.
void SplitFigures(std::string_view rest, Figures& f) {
    int field = 0;
    size_t start = 0;
    for (size_t i = 0; i < rest.size() && field < 11; ++i)
        if (rest[i] == ':') {
            f.Set(field++, rest.substr(start, i - start));
            start = i + 1;
        }
    std::string_view last = rest.substr(start);
    f.Set(field, last.substr(0, last.find(':')));
    while (++field < 12)
        f.Set(field, {});
}

// A line as a cache writes it: from its end, eleven ':' and then " > ",
// with no other '>' after it. One backward pass finds the path and all
// twelve figures; any other line is left to the general reading.
inline bool SplitFromEnd(std::string_view line, std::string_view& path, Figures& f) {
    const char* b = line.data();
    size_t end = line.size();
    int field = 12;
    for (size_t i = line.size(); i-- > 0;) {
        const char c = b[i];
        if (c == ':') {
            if (field == 1) return false;
            f.Set(--field, std::string_view(b + i + 1, end - i - 1));
            end = i;
        } else if (c == '>') {
            if (field != 1 || i < 1 || i + 1 >= line.size() || b[i - 1] != ' ' || b[i + 1] != ' ')
                return false;
            f.Set(0, std::string_view(b + i + 2, end - i - 2));
            path = std::string_view(b, i - 1);
            return true;
        }
    }
    return false;
}

void ReadFields(std::string_view line, int key, RankFields& out) {
    out = RankFields{};
    Figures f;
    if (!SplitFromEnd(line, out.Path, f)) {
        const size_t sep = LastSeparator(line);
        if (sep == std::string_view::npos) {
            out.Path = line;
            return;
        }
        out.Path = line.substr(0, sep);
        SplitFigures(line.substr(sep + 3), f);
    }
    switch (key) {
    case 0:
        out.Key = FloatField(f[0]);
        break;
    case 1:
        out.Key = FloatField(f[1]);
        break;
    case 2:
        out.Key = FloatField(f[1]) - FloatField(f[0]);
        break;
    case 3:
        out.Key = FloatField(f[2]);
        break;
    case 4:
        out.Key = FloatField(f[3]);
        break;
    case 5:
    case 6:
    case 7:
    case 8:
        out.Key = IntField(f[key - 1]);
        break;
    default:
        break;
    }
    out.OwnFiles = IntField(f[4]);
    for (int k = 0; k < 4; ++k) {
        std::string_view a = f[8 + k];
        out.Attributes[k] =
            a.size() == 1 && (a[0] == '0' || a[0] == '1') ? a[0] - '0' : IntField(a);
    }
}

uint64_t HashBytes(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// Folders removed together with everything below them. A line is looked up
// by each of its ancestors' paths (and its own), hashed as it is scanned once.
class SubtreeSet {
  public:
    bool Empty() const { return roots_.empty(); }
    void Add(std::string_view path) {
        const uint64_t h = HashBytes(path);
        roots_.push_back({h, path});
        sorted_ = false;
        seen_[(h >> 6) & kMask] |= 1ull << (h & 63);
        if (path.size() >= lengths_.size()) lengths_.resize(path.size() + 1, false);
        lengths_[path.size()] = true;
    }
    // Once all are added, before the first Covers.
    void Seal() {
        if (!sorted_)
            std::sort(roots_.begin(), roots_.end(),
                      [](const Root& a, const Root& b) { return a.hash < b.hash; });
        sorted_ = true;
    }
    // Whether a removed folder is path or lies above it. Paths asked in
    // the lines' order share most of their start with the one before: the
    // hashes of that start, and what was found in it, are taken over, and
    // only the bytes after it are hashed.
    bool Covers(std::string_view path) {
        const size_t longest = lengths_.size() - 1;
        if (states_.size() != lengths_.size()) {
            states_.assign(lengths_.size(), 0);
            states_[0] = kBasis;
            hashed_ = 0;
            coveredAt_ = SIZE_MAX;
        }
        const size_t shared = std::min(platform::SamePrefix(prev_, path), hashed_);
        prev_ = path;
        if (coveredAt_ <= shared) {
            hashed_ = shared;
            return true;
        }
        coveredAt_ = SIZE_MAX;
        // The path ends inside the start it shares: its own end was no
        // separator checked for the path before when it ends with none.
        if (path.size() <= shared) {
            hashed_ = shared;
            return path.size() > 0 && path.back() != '\\' && IsRoot(path.size(), path);
        }
        const size_t n = std::min(path.size(), longest);
        for (size_t i = shared; i < n; ++i) {
            states_[i + 1] = (states_[i] ^ static_cast<unsigned char>(path[i])) * kPrime;
            if ((path[i] == '\\' || i + 1 == path.size()) && IsRoot(i + 1, path)) {
                hashed_ = i + 1;
                if (path[i] == '\\') coveredAt_ = i + 1;
                return true;
            }
        }
        hashed_ = n;
        return false;
    }

  private:
    // A bit per hash, in a table that stays in the cache: most prefixes are
    // no removed folder, and the bit says so without a search of the roots.
    static constexpr uint64_t kMask = (1u << 14) - 1;
    std::vector<uint64_t> seen_ = std::vector<uint64_t>(kMask + 1, 0);
    struct Root {
        uint64_t hash;
        std::string_view path;
    };
    std::vector<Root> roots_;
    bool sorted_ = true;
    std::vector<bool> lengths_;
    static constexpr uint64_t kBasis = 1469598103934665603ull;
    static constexpr uint64_t kPrime = 1099511628211ull;
    // The path asked before, the hashes of its first k bytes (k up to
    // hashed_), and the length of its shortest start ending in a separator
    // that is a removed folder.
    std::string_view prev_;
    std::vector<uint64_t> states_;
    size_t hashed_ = 0;
    size_t coveredAt_ = SIZE_MAX;

    // Whether the first length bytes of path (hashed in states_) are a
    // removed folder.
    bool IsRoot(size_t length, std::string_view path) const {
        const uint64_t h = states_[length];
        if (!lengths_[length] || !(seen_[(h >> 6) & kMask] >> (h & 63) & 1)) return false;
        auto it = std::lower_bound(roots_.begin(), roots_.end(), Root{h, {}},
                                   [](const Root& a, const Root& b) { return a.hash < b.hash; });
        for (; it != roots_.end() && it->hash == h; ++it)
            if (it->path == path.substr(0, length)) return true;
        return false;
    }
};

// The exclusion entries by a hash that ignores case; the first entry in list
// order wins when several match.
class ExclusionIndex {
  public:
    explicit ExclusionIndex(const std::vector<RankExclusion>& entries) : entries_(entries) {
        for (size_t i = 0; i < entries.size(); ++i) {
            byHash_.emplace(platform::HashIgnoreCase(entries[i].Path), i);
            const size_t n = Characters(entries[i].Path);
            if (n >= counts_.size()) counts_.resize(n + 1, false);
            counts_[n] = true;
        }
    }
    const RankExclusion* Find(std::string_view path) const {
        if (entries_.empty()) return nullptr;
        const size_t n = Characters(path);
        if (n >= counts_.size() || !counts_[n]) return nullptr;
        auto [from, to] = byHash_.equal_range(platform::HashIgnoreCase(path));
        const RankExclusion* found = nullptr;
        size_t best = entries_.size();
        for (auto it = from; it != to; ++it)
            if (it->second < best &&
                platform::CompareTextIgnoreCase(entries_[it->second].Path, path) == 0) {
                best = it->second;
                found = &entries_[best];
            }
        return found;
    }

  private:
    // Bytes that are no UTF-8 continuation byte. Case mapping turns one
    // character into one character and leaves stray bytes as they are, so
    // texts equal without regard to case have the same count: a cheap test
    // before the hash, which has to decode every character.
    static size_t Characters(std::string_view s) {
        size_t n = 0;
        for (unsigned char c : s)
            n += (c & 0xC0) != 0x80;
        return n;
    }
    std::vector<bool> counts_;
    const std::vector<RankExclusion>& entries_;
    std::unordered_multimap<uint64_t, size_t> byHash_;
};

bool FilterOn(const std::string& filters, size_t n) {
    return n < filters.size() && filters[n] != '0';
}

} // namespace

double RankKey(const FolderRecord& r, int key) {
    RecordNumbers n;
    n.Floats[0] = r.TreeBytes;
    n.Floats[1] = r.TreeOccupied;
    n.Floats[2] = r.OwnBytes;
    n.Floats[3] = r.OwnOccupied;
    n.Ints[0] = r.OwnFiles;
    n.Ints[1] = r.TreeFiles;
    n.Ints[2] = r.OwnFolders;
    n.Ints[3] = r.TreeFolders;
    return KeyOfNumbers(n, key);
}

void RankList::Clear() {
    entries_.clear();
    entries_.shrink_to_fit();
    lines_.Clear();
}

void RankList::Compute(const StringList& lines, const RankOptions& options, RankHooks& hooks) {
    FolderList list;
    for (const std::string& line : lines)
        list.Append(line);
    Compute(list, options, hooks);
}

void RankList::Compute(const FolderList& list, const RankOptions& options, RankHooks& hooks,
                       size_t top) {
    entries_.clear();
    lines_ = list;
    const FolderList& lines = lines_;
    if (lines.Size() < 3) return;
    hooks.Message("ランク外のフォルダを調整");

    enum { KEEP, ALONE, SUBTREE };
    const ExclusionIndex exclusions(options.Exclusions);
    bool attributeOn[4];
    bool anyAttribute = false;
    for (size_t k = 0; k < 4; ++k)
        anyAttribute |= (attributeOn[k] = FilterOn(options.Filters, k));
    const bool zeroOn = FilterOn(options.Filters, 4);

    // Each folder is judged on its own first; the subtrees it takes with it
    // are removed afterwards, so the result does not depend on every
    // subfolder's line following its parent's directly (names that differ
    // only in case, or begin with a blank, sort between them).
    SubtreeSet removed;
    entries_.reserve(lines.Size() - 2);
    RankFields n;
    for (size_t i = 2; i < lines.Size(); ++i) {
        ReadFields(lines.LineAt(i), options.SortKey, n);
        int mode = KEEP;
        if (const RankExclusion* e = exclusions.Find(n.Path)) {
            mode = e->WithSubfolders ? SUBTREE : ALONE;
        } else if (anyAttribute &&
                   ((attributeOn[0] && n.Attributes[0]) || (attributeOn[1] && n.Attributes[1]) ||
                    (attributeOn[2] && n.Attributes[2]) || (attributeOn[3] && n.Attributes[3]))) {
            mode = SUBTREE;
        } else if (zeroOn && n.OwnFiles == 0) {
            mode = ALONE;
        }
        if (mode == SUBTREE) removed.Add(n.Path);
        if (mode == KEEP)
            entries_.push_back(
                {n.Key, static_cast<uint32_t>(i), static_cast<uint32_t>(n.Path.size())});
    }
    if (!removed.Empty()) {
        removed.Seal();
        std::erase_if(entries_, [&](const Entry& e) {
            return removed.Covers(lines.LineAt(size_t{e.Line}).substr(0, e.PathLength));
        });
    }

    // Largest first; equal keys keep the folder order, so a ranking reads the
    // same every time.
    auto before = [&](const Entry& a, const Entry& b) {
        if (gComparisons == 0) hooks.Message(lines.LineAt(size_t{a.Line}).substr(0, a.PathLength));
        gComparisons = (gComparisons + 1) % 100;
        if (a.Key != b.Key) return a.Key > b.Key;
        return a.Line < b.Line;
    };
    // No two entries are equal (the line decides), so the first places are
    // the same whether the rest is sorted or not.
    if (top > 0 && top < entries_.size()) {
        std::partial_sort(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(top),
                          entries_.end(), before);
        entries_.resize(top);
        entries_.shrink_to_fit();
    } else {
        std::sort(entries_.begin(), entries_.end(), before);
    }
}

FolderRecord RankList::RecordAt(int k) const {
    if (k < 0 || k >= Count()) return {};
    return ParseRecord(lines_.LineAt(size_t{entries_[static_cast<size_t>(k)].Line}));
}

std::string RankCountText(int index) {
    static const int counts[kRankCounts] = {5,  10, 15, 20, 25, 30, 35, 40,
                                            45, 50, 60, 70, 80, 90, 100};
    if (index < 0 || index >= kRankCounts) return {};
    return "Top " + std::to_string(counts[index]);
}

int RankRowCount(std::string_view text) {
    int n = 0;
    if (text.size() < 5 || !ParseInt(text.substr(4), n)) return 1;
    return n;
}

std::string RankCaption(int k, int n, std::string_view path) {
    int width = static_cast<int>(std::to_string(n < 0 ? 0 : n).size());
    std::string out = FormatText("%0*d ", width, k + 1);
    out += path;
    return out;
}

std::array<std::string, kRankKeys> RankCells(const FolderRecord& r, int sizeUnit) {
    return {FormatSizeText(r.TreeBytes, sizeUnit), FormatSizeText(r.TreeOccupied, sizeUnit),
            // A folder of sparse or compressed files occupies less than it
            // holds: its gap is negative, not unknown.
            r.TreeOccupied < 0 || r.TreeBytes < 0
                ? FormatSizeText(-1, sizeUnit)
                : FormatSignedSizeText(r.TreeOccupied - r.TreeBytes, sizeUnit),
            FormatSizeText(r.OwnBytes, sizeUnit), FormatSizeText(r.OwnOccupied, sizeUnit),
            GroupedNumber(r.OwnFiles, 0), GroupedNumber(r.TreeFiles, 0),
            GroupedNumber(r.OwnFolders, 0), GroupedNumber(r.TreeFolders, 0)};
}

// ---- the ranking file ----

namespace {
constexpr int kExclusionLine = 10;

// A state string cut short by damage keeps the default for what it lacks.
std::string StateLine(const StringList& list, int position, const std::string& def) {
    std::string s = LineAt(list, position, def);
    if (s.size() < def.size()) s += def.substr(s.size());
    return s;
}

int IndexLine(const StringList& list, int position, int def, int count) {
    int v = IntAt(list, position, def);
    return v >= 0 && v < count ? v : def;
}
} // namespace

std::string RankFileName(char letter) {
    return platform::ProgramFileFolders().Data + platform::ExecutableName() + "_" +
           std::string(1, letter) + ".rks";
}

RankSettings LoadRankSettings(const std::string& fileName) {
    RankSettings s;
    StringList lines;
    LoadLines(lines, fileName);
    s.Columns = StateLine(lines, 0, s.Columns);
    int width = IntAt(lines, 1, s.NameWidth);
    if (width > 0 && width <= 10000) s.NameWidth = width;
    s.SortIndex = IndexLine(lines, 2, s.SortIndex, kRankKeys);
    s.CountIndex = IndexLine(lines, 3, s.CountIndex, kRankCounts);
    s.Filters = StateLine(lines, 4, s.Filters);
    for (size_t i = kExclusionLine; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        size_t eq = line.find('=');
        std::string_view mark =
            eq == std::string::npos ? std::string_view(line) : std::string_view(line).substr(0, eq);
        int v = 0;
        RankExclusion e;
        e.WithSubfolders = ParseInt(mark, v) && v != 0;
        if (eq != std::string::npos) e.Path = line.substr(eq + 1);
        s.Exclusions.push_back(std::move(e));
    }
    return s;
}

int SaveRankSettings(const RankSettings& s, const std::string& fileName) {
    StringList lines;
    PutLineAt(lines, 0, s.Columns);
    PutIntAt(lines, 1, s.NameWidth);
    PutIntAt(lines, 2, s.SortIndex);
    PutIntAt(lines, 3, s.CountIndex);
    PutLineAt(lines, 4, s.Filters);
    for (size_t i = 0; i < s.Exclusions.size(); ++i)
        PutLineAt(lines, kExclusionLine + static_cast<int>(i),
                  (s.Exclusions[i].WithSubfolders ? "1=" : "0=") + s.Exclusions[i].Path);
    return SaveLines(lines, fileName);
}

} // namespace nrvs
