#include "core/cache/Folders.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/FileAccess.h"

namespace nrvs {

namespace {
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
} // namespace

FolderList::Mapping::~Mapping() {
    platform::UnmapFileGuarded(bytes, length);
}

FolderList::Store::Store(const Store& other)
    : map(other.map), mapLength(other.mapLength), mapText(other.mapText),
      mapGarbage(other.mapGarbage), at(other.at), longLines(other.longLines),
      garbage(other.garbage) {
    Reserve(other.size);
    if (other.size) std::memcpy(data, other.data, other.size);
    size = other.size;
}

FolderList::Store::~Store() {
    std::free(data);
}

void FolderList::Store::Reserve(size_t bytes) {
    if (bytes <= capacity) return;
    // realloc of a large block remaps its pages rather than copying them,
    // so growing never holds the text twice.
    const size_t grown = std::max({bytes, capacity + capacity / 2, size_t{4096}});
    void* p = std::realloc(data, grown);
    if (!p) throw std::bad_alloc();
    data = static_cast<char*>(p);
    capacity = grown;
}

uint64_t FolderList::Store::Add(std::string_view line) {
    // The line may be one of our own, which growing would move.
    const auto at = reinterpret_cast<uintptr_t>(line.data()),
               base = reinterpret_cast<uintptr_t>(data);
    const bool own = data && at >= base && at < base + size;
    const size_t from = own ? static_cast<size_t>(at - base) : 0;
    Reserve(size + line.size());
    const char* src = own ? data + from : line.data();
    if (!line.empty()) std::memmove(data + size, src, line.size());
    const uint64_t offset = mapLength + size;
    size += line.size();
    if (line.size() >= kLong) {
        longLines.emplace_back(offset, line.size());
        return offset << 24 | kLong;
    }
    return offset << 24 | line.size();
}

size_t FolderList::Store::LongLength(uint64_t offset) const {
    auto it =
        std::lower_bound(longLines.begin(), longLines.end(), std::make_pair(offset, uint64_t{0}));
    return it != longLines.end() && it->first == offset ? static_cast<size_t>(it->second) : 0;
}

void FolderList::Store::Drop(uint64_t word, size_t length) {
    ((word >> 24) < mapLength ? mapGarbage : garbage) += length;
}

void FolderList::Store::Undrop(uint64_t word, size_t length) {
    size_t& g = (word >> 24) < mapLength ? mapGarbage : garbage;
    g -= std::min(g, length);
}

FolderList::Store& FolderList::Own() {
    if (!s_)
        s_ = std::make_shared<Store>();
    else if (s_.use_count() > 1)
        s_ = std::make_shared<Store>(*s_);
    return *s_;
}

void FolderList::Changed() {
    indexValid_ = false;
    std::vector<IndexEntry>().swap(index_);
}

bool FolderList::Less(uint64_t a, uint64_t b) const {
    return platform::LessIgnoreCase(Line(a), Line(b));
}

size_t FolderList::HeldBytes() const {
    size_t n = index_.capacity() * sizeof(IndexEntry);
    if (s_)
        n += s_->capacity + s_->at.capacity() * sizeof(uint64_t) + s_->longLines.capacity() * 16;
    return n;
}

void FolderList::Compact(bool letFileGo) {
    Store& s = Own();
    constexpr size_t kWorthIt = size_t{1} << 20;
    // A file most of whose lines were replaced is let go, its lines still
    // used taken into the buffer.
    const bool dropMap =
        s.map && (letFileGo || (s.mapGarbage >= kWorthIt && s.mapGarbage >= s.mapText / 2));
    if (!dropMap && (s.garbage < kWorthIt || s.garbage < s.size / 2)) return;
    auto fresh = std::make_shared<Store>();
    if (!dropMap) {
        fresh->map = s.map;
        fresh->mapLength = s.mapLength;
        fresh->mapText = s.mapText;
        fresh->mapGarbage = s.mapGarbage;
        for (const auto& l : s.longLines)
            if (l.first < s.mapLength) fresh->longLines.push_back(l);
    }
    fresh->Reserve(s.size - s.garbage + (dropMap ? s.mapText - s.mapGarbage : 0));
    fresh->at.reserve(s.at.size());
    for (uint64_t w : s.at)
        fresh->at.push_back(!dropMap && (w >> 24) < s.mapLength ? w : fresh->Add(Line(w)));
    s_ = std::move(fresh);
}

void FolderList::ExtendRun() {
    if (checked_) return;
    const size_t n = Size();
    if (runTo_ <= runFrom_) runTo_ = std::min(n, runFrom_ + 1);
    while (runTo_ < n && !Less(s_->at[runTo_], s_->at[runTo_ - 1]))
        ++runTo_;
    checked_ = true;
}

bool FolderList::AfterFirstInOrder() {
    ExtendRun();
    return Size() <= 1 || (runFrom_ <= 1 && runTo_ >= Size());
}

void FolderList::BuildIndex() {
    index_.clear();
    index_.reserve(Size());
    std::string_view path;
    // A damaged line without " > " is all path and can be found as such; the
    // header line is no folder path, so no lookup of a folder meets it.
    for (size_t i = 0; i < Size(); ++i) {
        PathOfLine(LineAt(i), path);
        index_.push_back({HashPath(path), static_cast<int>(i)});
    }
    std::sort(index_.begin(), index_.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.line < b.line;
    });
    indexValid_ = true;
}

int FolderList::FindByHash(std::string_view path) {
    if (!indexValid_) BuildIndex();
    uint64_t h = HashPath(path);
    auto it = std::lower_bound(index_.begin(), index_.end(), h,
                               [](const IndexEntry& e, uint64_t v) { return e.hash < v; });
    std::string_view candidate;
    for (; it != index_.end() && it->hash == h; ++it) {
        PathOfLine(LineAt(static_cast<size_t>(it->line)), candidate);
        if (candidate == path) return it->line;
    }
    return -1;
}

int FolderList::IndexOfPath(std::string_view path) {
    const size_t n = Size();
    if (n == 0) return -1;
    std::string_view candidate;
    // Line 0 is apart: a header, or the first folder of a cache without one.
    PathOfLine(LineAt(size_t{0}), candidate);
    if (candidate == path) return 0;
    if (!AfterFirstInOrder()) return FindByHash(path);
    // A line of that path is either the path alone (a damaged line), equal
    // to it without regard to case, or the path, " > " and its numbers; each
    // kind is one run of the ordered lines, the first before the second.
    // Names that begin with " > " can make the second run long: past a few
    // lines the hash index is cheaper.
    constexpr int kMostLooked = 64;
    int looked = 0;
    const auto begin = s_->at.begin() + 1, end = s_->at.end();
    auto before = [&](uint64_t w, std::string_view key) {
        return platform::LessIgnoreCase(Line(w), key);
    };
    for (auto it = std::lower_bound(begin, end, path, before);
         it != end && platform::CompareTextIgnoreCase(Line(*it), path) == 0; ++it) {
        if (++looked > kMostLooked) return FindByHash(path);
        PathOfLine(Line(*it), candidate);
        if (candidate == path) return static_cast<int>(it - s_->at.begin());
    }
    std::string key(path);
    key += kPathEnd;
    for (auto it = std::lower_bound(begin, end, std::string_view(key), before);
         it != end && platform::StartsWithIgnoreCase(Line(*it), key); ++it) {
        if (++looked > kMostLooked) return FindByHash(path);
        PathOfLine(Line(*it), candidate);
        if (candidate == path) return static_cast<int>(it - s_->at.begin());
    }
    return -1;
}

const FolderRecord* FolderList::RecordAt(int position) {
    if (position < 0 || position >= Count()) return nullptr;
    Current = ParseRecord(LineAt(position));
    return &Current;
}

const FolderRecord* FolderList::FindPath(std::string_view path) {
    return RecordAt(IndexOfPath(path));
}

void FolderList::Clear() {
    s_.reset();
    runFrom_ = runTo_ = 0;
    checked_ = true;
    Changed();
}

void FolderList::Append(std::string_view line) {
    Store& s = Own();
    const size_t n = s.at.size();
    const uint64_t w = s.Add(line);
    if (runTo_ == n && (n <= runFrom_ || !Less(w, s.at[n - 1]))) ++runTo_;
    s.at.push_back(w);
    Changed();
}

StringList FolderList::CopyLines() const {
    StringList out;
    out.reserve(Size());
    for (size_t i = 0; i < Size(); ++i)
        out.emplace_back(LineAt(i));
    return out;
}

void FolderList::Assign(const StringList& lines) {
    Clear();
    for (const std::string& line : lines)
        Append(line);
}

void FolderList::PutLine(int position, std::string_view line) {
    if (position < 0 || position >= Count()) return;
    Store& s = Own();
    const size_t p = static_cast<size_t>(position);
    const uint64_t old = s.at[p];
    s.at[p] = s.Add(line);
    s.Drop(old, Line(old).size());
    // The run is checked again from where the line sits.
    if (p >= runFrom_ && p < runTo_) runTo_ = p > runFrom_ ? p : runFrom_;
    checked_ = false;
    Changed();
}

void FolderList::Delete(int position) {
    if (position < 0 || position >= Count()) return;
    TakeOut({static_cast<size_t>(position)});
}

void FolderList::InsertFirst(std::string_view line) {
    Store& s = Own();
    const uint64_t w = s.Add(line);
    s.at.insert(s.at.begin(), w);
    if (runFrom_ == 0) {
        runFrom_ = 1;
        ++runTo_;
    } else {
        runTo_ = 1;
        checked_ = false;
    }
    Changed();
}

void FolderList::Sort() {
    // A sort trusts its comparisons to agree with each other, which text
    // another program may rewrite underneath cannot promise: the lines are
    // sorted from the list's own copy. Only a drive measurement's new lines
    // or a cache out of order (edited by hand) are sorted whole.
    if (InPlace()) Compact(true);
    Store& s = Own();
    // A walk may give its lines in order already: one look at each pair.
    const auto less = [this](uint64_t a, uint64_t b) { return Less(a, b); };
    if (!std::is_sorted(s.at.begin(), s.at.end(), less))
        std::stable_sort(s.at.begin(), s.at.end(), less);
    runFrom_ = 0;
    runTo_ = s.at.size();
    checked_ = true;
    Changed();
    Compact();
}

void FolderList::SortMerged(size_t firstNew) {
    const size_t n = Size();
    if (firstNew > n) {
        Sort();
        return;
    }
    Store& s = Own();
    auto less = [this](uint64_t a, uint64_t b) { return Less(a, b); };
    // The kept lines' order is known from how they came (a sorted cache, a
    // subtree taken out of it) or checked once here.
    const bool knownInOrder = runFrom_ == 0 && runTo_ >= firstNew;
    if (!knownInOrder &&
        !std::is_sorted(s.at.begin(), s.at.begin() + static_cast<std::ptrdiff_t>(firstNew), less)) {
        Sort();
        return;
    }
    const auto mid = s.at.begin() + static_cast<std::ptrdiff_t>(firstNew);
    if (!std::is_sorted(mid, s.at.end(), less)) std::stable_sort(mid, s.at.end(), less);
    if (mid != s.at.end()) {
        // The new lines go among the kept ones between where the first and
        // the last of them fall; equal lines keep the kept one first, as the
        // stable sort of the whole list keeps them.
        const auto lo = std::upper_bound(s.at.begin(), mid, *mid, less);
        const auto hi = std::upper_bound(lo, mid, s.at.back(), less);
        std::vector<uint64_t> fresh(mid, s.at.end());
        std::vector<uint64_t> between(lo, hi);
        std::move_backward(hi, mid, s.at.end());
        std::merge(between.begin(), between.end(), fresh.begin(), fresh.end(), lo, less);
    }
    runFrom_ = 0;
    runTo_ = n;
    checked_ = true;
    Changed();
    Compact();
}

bool FolderList::Load(const std::string& nativePath) {
    Clear();
    const void* bytes = nullptr;
    size_t length = 0;
    if (platform::MapFileGuarded(nativePath, bytes, length)) {
        auto map = std::make_shared<Mapping>();
        map->bytes = static_cast<const char*>(bytes);
        map->length = length;
        auto s = std::make_shared<Store>();
        s->map = std::move(map);
        s->mapLength = length;
        s_ = std::move(s);
        SplitMapped();
        return true;
    }
    platform::FileReader reader;
    if (!reader.Open(nativePath)) return false;
    auto s = std::make_shared<Store>();
    constexpr size_t kPiece = size_t{8} << 20;
    for (;;) {
        s->Reserve(s->size + kPiece);
        const long got = reader.Read(s->data + s->size, kPiece);
        if (got < 0) return false;
        if (got == 0) break;
        s->size += static_cast<size_t>(got);
    }
    s_ = std::move(s);
    SplitLines();
    return true;
}

void FolderList::SetText(std::string_view text) {
    Clear();
    auto s = std::make_shared<Store>();
    s->Reserve(text.size());
    if (!text.empty()) std::memcpy(s->data, text.data(), text.size());
    s->size = text.size();
    s_ = std::move(s);
    SplitLines();
}

namespace {
// Calls take(from, length) for each line of text, in order; lines end with
// CR LF, LF or CR. reserve is told first about how many (the LFs), so that
// the caller makes room for them at once.
template <class Reserve, class Take>
void ScanLines(const char* d, size_t n, Reserve reserve, Take take) {
    size_t count = 1;
    for (const char* p = d;
         n && (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(d + n - p))));
         ++p)
        ++count;
    reserve(count);
    size_t r = 0;
    while (r < n) {
        const char* nl = static_cast<const char*>(std::memchr(d + r, '\n', n - r));
        size_t end = nl ? static_cast<size_t>(nl - d) : n;
        if (const void* cr = std::memchr(d + r, '\r', end - r))
            end = static_cast<size_t>(static_cast<const char*>(cr) - d);
        take(r, end - r);
        r = end;
        if (r < n) r += (d[r] == '\r' && r + 1 < n && d[r + 1] == '\n') ? 2 : 1;
    }
}
} // namespace

void FolderList::PushLine(Store& s, size_t offset, size_t length) {
    if (length >= kLong) {
        s.longLines.emplace_back(offset, length);
        s.at.push_back(uint64_t{offset} << 24 | kLong);
    } else {
        s.at.push_back(uint64_t{offset} << 24 | length);
    }
}

void FolderList::SplitLines() {
    // Each line's text moves down over the line ends before it, in place,
    // so the buffer holds the text alone.
    Store& s = *s_;
    char* d = s.data;
    size_t w = 0;
    ScanLines(
        d, s.size, [&](size_t count) { s.at.reserve(count); },
        [&](size_t from, size_t length) {
            if (w != from && length) std::memmove(d + w, d + from, length);
            PushLine(s, w, length);
            w += length;
        });
    s.size = w;
    // Giving back the bytes of the line ends remaps in place.
    if (void* p = std::realloc(s.data, std::max<size_t>(w, 1))) {
        s.data = static_cast<char*>(p);
        s.capacity = std::max<size_t>(w, 1);
    }
    Split();
}

void FolderList::SplitMapped() {
    // The text stays where it is: each word points into the file, past the
    // line ends before it.
    Store& s = *s_;
    size_t text = 0;
    ScanLines(
        s.map->bytes, s.mapLength, [&](size_t count) { s.at.reserve(count); },
        [&](size_t from, size_t length) {
            PushLine(s, from, length);
            text += length;
        });
    s.mapText = text;
    Split();
}

void FolderList::Split() {
    // A cache's line 0 is its header; the folders' order is checked when a
    // lookup first needs it.
    runFrom_ = runTo_ = 1;
    checked_ = false;
    Changed();
}

bool FolderList::Save(const std::string& nativePath) const {
    return platform::ReplaceFileStreamed(nativePath, [this](const platform::PutBytes& put) {
        constexpr size_t kChunk = size_t{1} << 20;
        std::string chunk;
        chunk.reserve(kChunk + 4096);
        for (size_t i = 0; i < Size(); ++i) {
            const std::string_view line = LineAt(i);
            if (chunk.size() + line.size() + 2 > kChunk && !chunk.empty()) {
                if (!put(chunk)) return false;
                chunk.clear();
            }
            if (line.size() + 2 > kChunk) {
                if (!put(line) || !put("\r\n")) return false;
                continue;
            }
            chunk += line;
            chunk += "\r\n";
        }
        return chunk.empty() || put(chunk);
    });
}

bool FolderList::PrefixRun(std::string_view prefix, size_t& first, size_t& last) {
    if (!AfterFirstInOrder()) return false;
    if (Size() <= 1) {
        first = last = Size();
        return true;
    }
    const auto begin = s_->at.begin() + 1, end = s_->at.end();
    auto lo = std::lower_bound(begin, end, prefix, [&](uint64_t w, std::string_view key) {
        return platform::LessIgnoreCase(Line(w), key);
    });
    auto hi = std::partition_point(
        lo, end, [&](uint64_t w) { return platform::StartsWithIgnoreCase(Line(w), prefix); });
    first = static_cast<size_t>(lo - s_->at.begin());
    last = static_cast<size_t>(hi - s_->at.begin());
    return true;
}

std::vector<std::pair<size_t, uint64_t>> FolderList::TakeOut(const std::vector<size_t>& positions) {
    std::vector<std::pair<size_t, uint64_t>> taken;
    if (positions.empty()) return taken;
    Store& s = Own();
    taken.reserve(positions.size());
    size_t k = 0, w = 0, inRun = 0;
    bool firstTaken = false;
    for (size_t i = 0; i < s.at.size(); ++i) {
        if (k < positions.size() && positions[k] == i) {
            taken.emplace_back(i, s.at[i]);
            s.Drop(s.at[i], Line(s.at[i]).size());
            if (i == 0) firstTaken = true;
            if (i >= runFrom_ && i < runTo_) ++inRun;
            ++k;
            while (k < positions.size() && positions[k] <= i)
                ++k;
            continue;
        }
        s.at[w++] = s.at[i];
    }
    s.at.resize(w);
    // The lines left of the ordered run stay in order; without line 0 they
    // start the list.
    runTo_ = runTo_ > inRun ? runTo_ - inRun : 0;
    if (firstTaken && runFrom_ == 1) {
        runFrom_ = 0;
        --runTo_;
    }
    if (runTo_ < runFrom_) runTo_ = runFrom_;
    checked_ = false;
    Changed();
    return taken;
}

void FolderList::Restore(const std::vector<std::pair<size_t, uint64_t>>& taken) {
    if (taken.empty()) return;
    Store& s = Own();
    std::vector<uint64_t> at;
    at.reserve(s.at.size() + taken.size());
    size_t k = 0, r = 0;
    while (k < s.at.size() || r < taken.size()) {
        if (r < taken.size() && (taken[r].first == at.size() || k >= s.at.size())) {
            s.Undrop(taken[r].second, Line(taken[r].second).size());
            at.push_back(taken[r++].second);
        } else {
            at.push_back(s.at[k++]);
        }
    }
    s.at = std::move(at);
    runFrom_ = runTo_ = 1;
    checked_ = false;
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
