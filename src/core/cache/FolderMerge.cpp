#include "core/cache/FolderMerge.h"

#include "core/cache/Cache.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

namespace nrvs {

std::vector<size_t> LinesOfFolder(FolderList& folders, std::string_view path) {
    std::vector<size_t> out;
    if (path.size() <= 3) {
        out.resize(folders.Size());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = i;
        return out;
    }
    std::string_view linePath;
    auto consider = [&](size_t i) {
        const std::string_view line = folders.LineAt(i);
        const bool hasPath = PathOfLine(line, linePath);
        // Only a header goes at the top: a list read from a file without one
        // starts with a folder's line, perhaps one cut short before its
        // numbers.
        const bool header = i == 0 && IsHeaderLine(line);
        if (header || (hasPath && linePath.substr(0, path.size()) == path)) out.push_back(i);
    };
    // Folders whose names differ from the path's only in case may lie among
    // its lines in the run.
    size_t first = 1, last = folders.Size();
    if (folders.Size() > 0) consider(0);
    if (!folders.PrefixRun(path, first, last)) first = 1, last = folders.Size();
    for (size_t i = first; i < last; ++i)
        consider(i);
    return out;
}

namespace {
bool Less(std::string_view a, std::string_view b) {
    return platform::LessIgnoreCase(a, b);
}

// Bytes on their way to a file in chunks large enough to keep the calls few;
// long runs go through without a copy.
class ChunkWriter {
  public:
    explicit ChunkWriter(const std::function<bool(std::string_view)>& put) : put_(put) {
        buffer_.reserve(kChunk);
    }
    void Line(std::string_view line) {
        Raw(line);
        Raw("\r\n");
    }
    void Raw(std::string_view bytes) {
        if (bytes.size() >= kChunk / 4) {
            Flush();
            if (ok_) ok_ = put_(bytes);
            return;
        }
        if (buffer_.size() + bytes.size() > kChunk) Flush();
        buffer_.append(bytes);
    }
    bool Finish() {
        Flush();
        return ok_;
    }

  private:
    void Flush() {
        if (!buffer_.empty() && ok_) ok_ = put_(buffer_);
        buffer_.clear();
    }
    static constexpr size_t kChunk = size_t{1} << 18;
    const std::function<bool(std::string_view)>& put_;
    std::string buffer_;
    bool ok_ = true;
};

// Whether a line that shares its first shared bytes with below comes before
// every text that begins with below, told from the byte where they part
// when that decides it (else false: it must be compared).
bool BeforeAllUnder(std::string_view line, std::string_view below, size_t shared) {
    if (shared >= below.size()) return false;
    if (shared == line.size()) return true;
    const unsigned char a = static_cast<unsigned char>(line[shared]),
                        b = static_cast<unsigned char>(below[shared]);
    if ((a | b) >= 0x80) return false; // a character of more bytes: only the full comparison knows
    const unsigned char fa = a >= 'A' && a <= 'Z' ? a + 32 : a,
                        fb = b >= 'A' && b <= 'Z' ? b + 32 : b;
    return fa < fb;
}

// The folder's own line or one below it (byte for byte, as lookups compare).
bool UnderFolder(std::string_view line, std::string_view below) {
    if (line.size() < below.size() || std::memcmp(line.data(), below.data(), below.size()) != 0)
        return false;
    std::string_view path;
    return PathOfLine(line, path) && path.size() >= below.size();
}

// Bytes read ahead of the lines split from them: never cleared, as reads
// fill them, so that only the pages a file's bytes reach are touched.
class ReadAhead {
  public:
    explicit ReadAhead(size_t size)
        : bytes_(std::make_unique_for_overwrite<char[]>(size)), size_(size) {}
    char* data() { return bytes_.get(); }
    size_t size() const { return size_; }
    // Twice the room, keeping the first kept bytes.
    void Grow(size_t kept) {
        auto larger = std::make_unique_for_overwrite<char[]>(size_ * 2);
        std::memcpy(larger.get(), bytes_.get(), kept);
        bytes_ = std::move(larger);
        size_ *= 2;
    }

  private:
    std::unique_ptr<char[]> bytes_;
    size_t size_;
};

// The pieces files of lines are read in: a line longer grows the buffer.
constexpr size_t kReadPiece = size_t{1} << 18;

enum class Merge { Done, OutOfOrder, Unreadable, Refused };

// The merge of MergeFolderLines over a cache read piece by piece (read: as
// FileReader::Read), so that neither the file nor its lines are held: lines
// are split as the string-list reader splits them (CR LF, LF or a lone CR
// ends a line; none after the last end), runs of kept lines that end in
// CR LF go out as the bytes they are, and each new line goes before the
// first line of the cache that is greater (after the kept lines equal to
// it). fresh must be sorted. OutOfOrder as soon as two lines of the cache
// are not in order: nothing sensible has been written then.
// mapped: the whole file, when it is mapped: read then goes unused, and
// nothing is copied.
Merge MergeStream(const std::function<long(char*, size_t)>& read, std::string_view below,
                  std::string_view header, const StringList& fresh, ChunkWriter& out, size_t chunk,
                  MergeExtras* extras = nullptr, const ParentsUpdate* parents = nullptr,
                  std::string_view mapped = {}) {
    std::string adjusted;
    // New lines all below the folder (as a measurement's are) go after every
    // line that comes before the folder's path: those need no comparison.
    const bool freshUnder = std::all_of(fresh.begin(), fresh.end(), [&](const std::string& f) {
        return f.size() >= below.size() && std::memcmp(f.data(), below.data(), below.size()) == 0;
    });
    StringList* const replaced = extras ? extras->Replaced : nullptr;
    const auto* const accept = extras && extras->Accept ? &extras->Accept : nullptr;
    out.Line(header);
    const bool whole = mapped.data() != nullptr;
    ReadAhead buffer(whole ? 2 : std::max<size_t>(chunk, 2));
    size_t have = 0;    // bytes in buffer
    bool atEnd = whole; // read said the end
    bool first = true;  // the next line is the file's first
    // The line before, in the buffer; copied only when the buffer moves.
    std::string_view previous;
    std::string previousCopy;
    bool hasPrevious = false;
    size_t nextFresh = 0;
    for (;;) {
        if (!atEnd && have < buffer.size()) {
            const long n = read(buffer.data() + have, buffer.size() - have);
            if (n < 0) return Merge::Unreadable;
            if (n == 0) atEnd = true;
            have += static_cast<size_t>(n);
        }
        const char* const begin = whole ? mapped.data() : buffer.data();
        const char* const end = begin + (whole ? mapped.size() : have);
        const char* p = begin;
        const char* run = nullptr; // start of the kept lines not yet written
        auto flush = [&](const char* until) {
            if (run && until > run)
                out.Raw(std::string_view(run, static_cast<size_t>(until - run)));
            run = nullptr;
        };
        while (p < end) {
            const char* lf =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* stop = lf ? lf : end;
            const char* cr =
                static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
            const char* lineEnd;
            const char* next;
            bool crlf = false;
            if (cr && cr + 1 != lf) {
                // A CR alone ends the line, unless it is the last byte read
                // and an LF may follow.
                if (cr + 1 == end && !atEnd) break;
                lineEnd = cr;
                next = cr + 1;
            } else if (lf) {
                lineEnd = cr ? cr : lf;
                next = lf + 1;
                crlf = cr != nullptr;
            } else {
                if (!atEnd) break; // the line goes on in the next piece
                lineEnd = end;
                next = end;
            }
            const std::string_view line(p, static_cast<size_t>(lineEnd - p));
            const bool wasFirst = first;
            first = false;
            if (wasFirst && IsHeaderLine(line)) {
                p = next;
                continue;
            }
            if (accept && !(*accept)(line)) return Merge::Refused;
            if (hasPrevious && Less(line, previous)) return Merge::OutOfOrder;
            previous = line;
            hasPrevious = true;
            const size_t shared = platform::SamePrefix(line, below);
            if (nextFresh < fresh.size() && !(freshUnder && BeforeAllUnder(line, below, shared)) &&
                Less(fresh[nextFresh], line)) {
                flush(p);
                while (nextFresh < fresh.size() && Less(fresh[nextFresh], line))
                    out.Line(fresh[nextFresh++]);
            }
            if (shared == below.size() && UnderFolder(line, below)) {
                flush(p);
                if (replaced) replaced->emplace_back(line);
            } else if (parents && parents->Adjust(line, shared, adjusted)) {
                flush(p);
                out.Line(adjusted);
            } else if (crlf) {
                if (!run) run = p;
            } else {
                flush(p);
                out.Line(line);
            }
            p = next;
        }
        flush(p);
        if (whole) break; // every line ended at the end
        if (hasPrevious) {
            previousCopy.assign(previous);
            previous = previousCopy;
        }
        // What is left is the start of a line: to the front, and a larger
        // buffer when one line fills it.
        const size_t left = static_cast<size_t>(end - p);
        if (left && p != begin) std::memmove(buffer.data(), p, left);
        have = left;
        if (atEnd && have == 0) break;
        if (have == buffer.size()) buffer.Grow(have);
    }
    while (nextFresh < fresh.size())
        out.Line(fresh[nextFresh++]);
    return Merge::Done;
}

// The first of lines whose path is path.
std::string_view LineOfPath(const StringList& lines, std::string_view path) {
    std::string_view p;
    for (const std::string& line : lines)
        if (PathOfLine(line, p) && p == path) return line;
    return {};
}

// The full sort a cache out of order gets.
Merge MergeSorting(std::string_view text, std::string_view below, std::string_view header,
                   const StringList& fresh, ChunkWriter& out, MergeExtras* extras = nullptr) {
    StringList lines;
    TextToLines(lines, text);
    if (extras && extras->UpdateParents) {
        // A header line has no path: the first line with below's is the folder's.
        const std::string oldLine(LineOfPath(lines, below));
        const std::string_view newLine = LineOfPath(fresh, below);
        if (!newLine.empty() || !oldLine.empty()) {
            const ParentsUpdate parents(below, oldLine, newLine);
            std::string adjusted;
            for (size_t i = 0; i < lines.size(); ++i)
                if (!(i == 0 && IsHeaderLine(lines[i])) && parents.Adjust(lines[i], adjusted))
                    lines[i] = adjusted;
        }
    }
    std::vector<std::string_view> all;
    all.reserve(lines.size() + fresh.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0 && IsHeaderLine(lines[i])) continue;
        if (extras && extras->Accept && !extras->Accept(lines[i])) return Merge::Refused;
        if (!UnderFolder(lines[i], below))
            all.push_back(lines[i]);
        else if (extras && extras->Replaced)
            extras->Replaced->push_back(lines[i]);
    }
    for (const std::string& line : fresh)
        all.push_back(line);
    std::stable_sort(all.begin(), all.end(), Less);
    out.Line(header);
    for (std::string_view line : all)
        out.Line(line);
    return Merge::Done;
}

void SortFresh(StringList& fresh) {
    // A walk gives its lines in order, as a run of a cache in order is.
    const auto less = [](const std::string& a, const std::string& b) { return Less(a, b); };
    if (!std::is_sorted(fresh.begin(), fresh.end(), less))
        std::stable_sort(fresh.begin(), fresh.end(), less);
}
} // namespace

bool MergeFolderLines(std::string_view text, std::string_view below, std::string_view header,
                      StringList& fresh, const std::function<bool(std::string_view)>& put,
                      size_t chunk) {
    SortFresh(fresh);
    size_t at = 0;
    auto read = [&](char* buffer, size_t size) {
        const size_t n = std::min(size, text.size() - at);
        std::memcpy(buffer, text.data() + at, n);
        at += n;
        return static_cast<long>(n);
    };
    std::string merged;
    const std::function<bool(std::string_view)> keep = [&](std::string_view bytes) {
        merged.append(bytes);
        return true;
    };
    {
        ChunkWriter out(keep);
        const Merge m = MergeStream(read, below, header, fresh, out, chunk);
        out.Finish();
        if (m == Merge::Done) return put(merged);
    }
    ChunkWriter out(put);
    MergeSorting(text, below, header, fresh, out);
    return out.Finish();
}

ParentsUpdate::ParentsUpdate(std::string_view below, std::string_view oldLine,
                             std::string_view newLine)
    : below_(below), isNew_(oldLine.empty()), isGone_(newLine.empty() && !oldLine.empty()) {
    std::string_view path;
    RecordNumbers o, n;
    if (!oldLine.empty()) ParseNumbers(oldLine, path, o);
    if (!newLine.empty()) ParseNumbers(newLine, path, n);
    bytes_ = n.Floats[0] - o.Floats[0];
    occupied_ = n.Floats[1] - o.Floats[1];
    files_ = int64_t{n.Ints[1]} - o.Ints[1];
    // A folder counts itself in the folders of those above it.
    folders_ =
        (newLine.empty() ? 0 : int64_t{n.Ints[3]} + 1) - (isNew_ ? 0 : int64_t{o.Ints[3]} + 1);
}

bool ParentsUpdate::Adjust(std::string_view line, std::string& adjusted) const {
    return Adjust(line, platform::SamePrefix(line, below_), adjusted);
}

bool ParentsUpdate::Adjust(std::string_view line, size_t shared, std::string& adjusted) const {
    // The line of a folder above: its path is below's start up to a
    // separator, and its numbers follow right there.
    if (shared < 3 || shared >= below_.size() || below_[shared - 1] != '\\' ||
        line.substr(shared, 3) != " > ")
        return false;
    std::string_view path;
    if (!PathOfLine(line, path) || path.size() != shared) return false;
    FolderRecord r = ParseRecord(line);
    auto count = [](int32_t v, int64_t by) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + by, 0, INT32_MAX));
    };
    r.TreeBytes = std::max(0.0, r.TreeBytes + bytes_);
    r.TreeOccupied = std::max(0.0, r.TreeOccupied + occupied_);
    r.TreeFiles = count(r.TreeFiles, files_);
    r.TreeFolders = count(r.TreeFolders, folders_);
    const size_t parentEnd = below_.rfind('\\', below_.size() - 2) + 1;
    if (shared == parentEnd && (isNew_ || isGone_))
        r.OwnFolders = count(r.OwnFolders, isNew_ ? 1 : -1);
    adjusted = FormatRecord(r);
    return true;
}

StringList ParentsUpdate::Ancestors() const {
    StringList out;
    for (size_t i = 2; i + 1 < below_.size(); ++i)
        if (below_[i] == '\\') out.push_back(below_.substr(0, i + 1));
    return out;
}

namespace {
// Where the first CR or LF at or after pos is (npos: none), by the library's
// search for one byte: a search for either byte goes byte by byte.
size_t LineEndFrom(std::string_view t, size_t pos) {
    if (pos >= t.size()) return std::string_view::npos;
    const char* p = t.data() + pos;
    const size_t n = t.size() - pos;
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', n));
    const char* cr =
        static_cast<const char*>(std::memchr(p, '\r', lf ? static_cast<size_t>(lf - p) : n));
    const char* end = cr ? cr : lf;
    return end ? static_cast<size_t>(end - t.data()) : std::string_view::npos;
}

// The start of the first line that begins at or after pos.
size_t LineStartFrom(std::string_view t, size_t pos) {
    if (pos == 0) return 0;
    const size_t end = LineEndFrom(t, pos - 1);
    if (end == std::string_view::npos) return t.size();
    return t[end] == '\r' && end + 1 < t.size() && t[end + 1] == '\n' ? end + 2 : end + 1;
}

std::string_view LineFrom(std::string_view t, size_t start) {
    const size_t end = LineEndFrom(t, start);
    return t.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}
} // namespace

namespace {
// Where the first line of a text in order (its header skipped) that is not
// less than key starts, found by halving.
size_t FirstLineNotBefore(std::string_view text, std::string_view key) {
    size_t lo = 0;
    if (IsHeaderLine(LineFrom(text, 0))) lo = LineStartFrom(text, LineFrom(text, 0).size() + 1);
    // Lines starting before lo are less than key; those starting at hi or
    // later are not.
    size_t hi = text.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const size_t start = LineStartFrom(text, mid);
        if (start >= hi) {
            hi = mid;
            continue;
        }
        const std::string_view line = LineFrom(text, start);
        if (Less(line, key))
            lo = LineStartFrom(text, start + line.size() + 1);
        else
            hi = start;
    }
    return lo;
}

// Calls fn with each line from at on that begins with prefix in any case:
// in a text in order they follow one another.
template <typename Fn>
void ForLinesBeginningWith(std::string_view text, size_t at, std::string_view prefix, Fn fn) {
    while (at < text.size()) {
        const std::string_view line = LineFrom(text, at);
        const bool same = line.size() >= prefix.size() &&
                          std::memcmp(line.data(), prefix.data(), prefix.size()) == 0;
        if (!(same || platform::StartsWithIgnoreCase(line, prefix)) || !fn(line)) return;
        at = LineStartFrom(text, at + line.size() + 1);
    }
}
} // namespace

std::string_view FindLineOfPath(std::string_view text, std::string_view path) {
    const std::string key = std::string(path) + " > ";
    std::string_view found;
    ForLinesBeginningWith(text, FirstLineNotBefore(text, key), key, [&](std::string_view line) {
        std::string_view p;
        if (PathOfLine(line, p) && p == path) found = line;
        return found.empty();
    });
    return found;
}

StringList SubtreeLinesIn(std::string_view text, std::string_view below) {
    StringList out;
    ForLinesBeginningWith(text, FirstLineNotBefore(text, below), below, [&](std::string_view line) {
        if (UnderFolder(line, below)) out.emplace_back(line);
        return true;
    });
    return out;
}

void UpdateParents(FolderList& folders, const ParentsUpdate& update) {
    std::string adjusted;
    for (const std::string& path : update.Ancestors()) {
        const int at = folders.IndexOfPath(path);
        if (at >= 0 && update.Adjust(folders.LineAt(at), adjusted)) folders.PutLine(at, adjusted);
    }
}

bool ForEachLine(const std::function<long(char*, size_t)>& read,
                 const std::function<bool(std::string_view)>& fn) {
    ReadAhead buffer(kReadPiece);
    size_t have = 0;
    bool atEnd = false;
    for (;;) {
        if (!atEnd && have < buffer.size()) {
            const long n = read(buffer.data() + have, buffer.size() - have);
            if (n < 0) return false;
            if (n == 0) atEnd = true;
            have += static_cast<size_t>(n);
        }
        const char* p = buffer.data();
        const char* const end = p + have;
        while (p < end) {
            const char* lf =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* stop = lf ? lf : end;
            const char* cr =
                static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
            if (cr) stop = cr;
            if (stop == end && !atEnd) break; // the line goes on in the next piece
            // A CR as the last byte read may have its LF still to come.
            if (cr && cr + 1 == end && !atEnd) break;
            if (!fn(std::string_view(p, static_cast<size_t>(stop - p)))) return true;
            p = stop == end ? end : stop + 1;
            if (cr && p < end && *p == '\n') ++p;
        }
        const size_t left = static_cast<size_t>(end - p);
        if (left && p != buffer.data()) std::memmove(buffer.data(), p, left);
        have = left;
        if (atEnd && have == 0) return true;
        if (have == buffer.size()) buffer.Grow(have);
    }
}

StringList SubtreeLinesOf(const std::function<long(char*, size_t)>& read, std::string_view below) {
    StringList out;
    bool first = true;
    ForEachLine(read, [&](std::string_view line) {
        if (!first && UnderFolder(line, below)) out.emplace_back(line);
        first = false;
        return true;
    });
    return out;
}

bool MergeIntoFile(const std::string& name, std::string_view below, std::string_view header,
                   StringList& fresh, std::string* why, MergeExtras* extras) {
    SortFresh(fresh);
    if (extras) extras->Refused = false;
    auto restart = [&] {
        if (extras && extras->Replaced) extras->Replaced->clear();
    };
    Merge result = Merge::Done;
    const std::function<bool()> noGate;
    const std::function<bool()>& gate = extras ? extras->Gate : noGate;
    bool ok = platform::ReplaceFileStreamedGated(
        name,
        [&](const platform::PutBytes& put) {
            ChunkWriter out(put);
            platform::FileReader file;
            if (!file.Open(name)) {
                // No cache yet: the folder's lines alone. One that is there but
                // cannot be read is left alone rather than replaced by them.
                if (errno != ENOENT) {
                    result = Merge::Unreadable;
                    return false;
                }
                out.Line(header);
                for (const std::string& line : fresh)
                    out.Line(line);
                return out.Finish();
            }
            // Mapped where the system allows, else read in pieces.
            const void* map = nullptr;
            size_t length = 0;
            const bool mapped = platform::MapFileGuarded(name, map, length);
            const std::string_view text =
                mapped ? std::string_view(static_cast<const char*>(map), length)
                       : std::string_view();
            struct Unmap {
                const void* map;
                size_t length;
                ~Unmap() {
                    if (map) platform::UnmapFileGuarded(map, length);
                }
            } unmap{mapped ? map : nullptr, length};
            // The measured folder's old line, for the folders above it, is found
            // by halving before the stream reaches them.
            std::optional<ParentsUpdate> parents;
            if (extras && extras->UpdateParents) {
                const std::string_view newLine = LineOfPath(fresh, below);
                std::string oldLine;
                if (mapped) {
                    oldLine = FindLineOfPath(text, below);
                } else {
                    // Where the file cannot be mapped it is read up to the line.
                    platform::FileReader first;
                    std::string_view path;
                    if (first.Open(name))
                        ForEachLine([&](char* b, size_t n) { return first.Read(b, n); },
                                    [&](std::string_view line) {
                                        if (!PathOfLine(line, path) || path != below)
                                            return true; // a header has no path
                                        oldLine = line;
                                        return false;
                                    });
                }
                // A folder neither side has moves nothing.
                if (!newLine.empty() || !oldLine.empty()) parents.emplace(below, oldLine, newLine);
            }
            result =
                MergeStream([&](char* b, size_t n) { return file.Read(b, n); }, below, header,
                            fresh, out, kReadPiece, extras, parents ? &*parents : nullptr, text);
            return out.Finish() && result == Merge::Done;
        },
        gate);
    if (!ok && result == Merge::OutOfOrder) {
        // Edited by hand, perhaps: read whole and sorted in full.
        restart();
        std::string text;
        if (platform::ReadWholeFile(name, text)) {
            ok = platform::ReplaceFileStreamedGated(
                name,
                [&](const platform::PutBytes& put) {
                    ChunkWriter out(put);
                    result = MergeSorting(text, below, header, fresh, out, extras);
                    return out.Finish() && result == Merge::Done;
                },
                gate);
        } else {
            result = Merge::Unreadable;
        }
    }
    if (!ok && result == Merge::Refused) {
        restart();
        if (extras) extras->Refused = true;
        if (why) *why = name + ": a line of it was refused";
        return false;
    }
    if (!ok) {
        restart();
        if (why)
            *why = name + ": " +
                   (result == Merge::Unreadable ? "the cache could not be read"
                                                : platform::LastWriteError());
        return false;
    }
    return true;
}

bool ChangeFolderLines(const std::string& name, std::vector<FolderLineChange>& changes,
                       std::string* why) {
    std::map<std::string, size_t, std::less<>> byPath;
    for (size_t k = 0; k < changes.size(); ++k) {
        changes[k].Found = false;
        byPath.emplace(changes[k].Below, k);
    }
    std::vector<std::string> newLines(changes.size());
    std::string_view path;
    bool first = true;
    bool any = false;
    platform::FileReader reader;
    if (!reader.Open(name)) {
        if (why) *why = name + ": the cache could not be read";
        return false;
    }
    // The first pass finds the old lines; their new ones follow from them.
    std::vector<ParentsUpdate> updates;
    std::map<std::string, std::vector<size_t>, std::less<>> updatesAbove;
    const bool read =
        ForEachLine([&](char* b, size_t n) { return reader.Read(b, n); },
                    [&](std::string_view line) {
                        const bool header = first && IsHeaderLine(line);
                        first = false;
                        if (header || !PathOfLine(line, path)) return true;
                        const auto it = byPath.find(path);
                        if (it == byPath.end() || changes[it->second].Found) return true;
                        FolderLineChange& c = changes[it->second];
                        c.Found = any = true;
                        newLines[it->second] = c.Change(line);
                        updates.emplace_back(c.Below, line, newLines[it->second]);
                        for (std::string& above : updates.back().Ancestors())
                            updatesAbove[std::move(above)].push_back(updates.size() - 1);
                        return true;
                    });
    if (!read || !any) {
        if (why)
            *why = name + (read ? ": the cache holds no line of " + changes.front().Below
                                : ": the cache could not be read");
        for (FolderLineChange& c : changes)
            c.Found = false;
        return false;
    }
    bool unreadable = false;
    const bool ok = platform::ReplaceFileStreamed(name, [&](const platform::PutBytes& put) {
        ChunkWriter out(put);
        platform::FileReader file;
        std::vector<bool> written(changes.size());
        std::string current, adjusted;
        bool top = true;
        if (!file.Open(name) || !ForEachLine([&](char* b, size_t n) { return file.Read(b, n); },
                                             [&](std::string_view line) {
                                                 const bool header = top && IsHeaderLine(line);
                                                 top = false;
                                                 if (header || !PathOfLine(line, path)) {
                                                     out.Line(line);
                                                     return true;
                                                 }
                                                 // A second line of the same path stays as it is:
                                                 // the first pass changed only the first.
                                                 const auto changed = byPath.find(path);
                                                 const bool own = changed != byPath.end() &&
                                                                  changes[changed->second].Found &&
                                                                  !written[changed->second];
                                                 const auto above = updatesAbove.find(path);
                                                 if (!own && above == updatesAbove.end()) {
                                                     out.Line(line);
                                                     return true;
                                                 }
                                                 if (own) written[changed->second] = true;
                                                 current = own ? newLines[changed->second]
                                                               : std::string(line);
                                                 if (above != updatesAbove.end())
                                                     for (size_t u : above->second)
                                                         if (updates[u].Adjust(current, adjusted))
                                                             current = adjusted;
                                                 out.Line(current);
                                                 return true;
                                             })) {
            unreadable = true;
            return false;
        }
        return out.Finish();
    });
    if (!ok) {
        if (why)
            *why = name + ": " +
                   (unreadable ? std::string("the cache could not be read")
                               : platform::LastWriteError());
        for (FolderLineChange& c : changes)
            c.Found = false;
    }
    return ok;
}

} // namespace nrvs
