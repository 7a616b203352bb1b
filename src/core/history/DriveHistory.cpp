#include "core/history/DriveHistory.h"

#include "core/cache/FolderLines.h"
#include "core/cache/FolderMerge.h"
#include "lib/NumberText.h"
#include "platform/Checksum.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

namespace nrvs {

namespace P = platform;

namespace {

constexpr std::string_view kMagic = "NRH1";
constexpr size_t kHeadBytes = 24;

// ---- lines ----

// The line starting at pos (without its LF) and where the next one starts.
std::string_view LineAt(std::string_view text, size_t pos, size_t& next) {
    const size_t lf = text.find('\n', pos);
    next = lf == std::string_view::npos ? text.size() : lf + 1;
    return text.substr(pos, (lf == std::string_view::npos ? text.size() : lf) - pos);
}

// A line without the CR its cache may end it with.
std::string_view WithoutCr(std::string_view line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

std::string_view PathPart(std::string_view line) {
    std::string_view path;
    PathOfLine(WithoutCr(line), path);
    return path;
}

std::string_view HeaderOf(std::string_view text) {
    size_t next = 0;
    return WithoutCr(LineAt(text, 0, next));
}

// The drive root's line ("X:\ > ..."), first among the folders in a cache
// in order; empty when there is none.
std::string_view RootLineOf(std::string_view text) {
    size_t pos = 0, next = 0;
    LineAt(text, 0, pos);
    while (pos < text.size()) {
        const std::string_view line = LineAt(text, pos, next);
        if (PathPart(line).size() == 3) return WithoutCr(line);
        pos = next;
    }
    return {};
}

// How many bytes two texts share from their starts, compared a block at a
// time.
size_t SharedLength(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    constexpr size_t kBlock = 4096;
    size_t i = 0;
    while (i + kBlock <= n && std::memcmp(a.data() + i, b.data() + i, kBlock) == 0)
        i += kBlock;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// ---- numbers in the frame ----

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutU64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint64_t GetLe(std::string_view bytes, size_t at, int width) {
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

std::string SummaryText(const HistorySummary& s) {
    return "time " + std::to_string(s.Time) + "\nheader " + s.Header + "\nbefore " + s.Before +
           "\nroot " + s.RootLine + "\nrootbefore " + s.RootBefore + "\nused " +
           std::to_string(s.Used) + "\nfree " + std::to_string(s.Free) + "\n";
}

bool ParseNumber(std::string_view text, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool ParseSummary(std::string_view text, HistorySummary& s) {
    bool time = false, header = false, before = false;
    size_t pos = 0, next = 0;
    while (pos < text.size()) {
        const std::string_view line = LineAt(text, pos, next);
        pos = next;
        const size_t space = line.find(' ');
        const std::string_view name = line.substr(0, space);
        const std::string_view value =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        uint64_t n = 0;
        if (name == "time") {
            const bool negative = !value.empty() && value[0] == '-';
            if (!ParseNumber(negative ? value.substr(1) : value, n)) return false;
            s.Time = negative ? -static_cast<int64_t>(n) : static_cast<int64_t>(n);
            time = true;
        } else if (name == "header") {
            s.Header = std::string(value);
            header = true;
        } else if (name == "before") {
            s.Before = std::string(value);
            before = true;
        } else if (name == "root") {
            s.RootLine = std::string(value);
        } else if (name == "rootbefore") {
            s.RootBefore = std::string(value);
        } else if (name == "used" || name == "free") {
            if (!ParseNumber(value, n)) return false;
            (name == "used" ? s.Used : s.Free) = n;
        }
        // Other names are of later versions, and skipped.
    }
    return time && header && before;
}

} // namespace

// ---- the edit ----

std::string HistoryEdit(std::string_view oldText, std::string_view newText) {
    std::string edit;
    size_t a = 0, b = 0, copied = 0;
    const auto flush = [&] {
        if (copied) edit += "=" + std::to_string(copied) + "\n";
        copied = 0;
    };
    const auto put = [&](char op, std::string_view text) {
        flush();
        edit += op;
        edit += text;
        edit += '\n';
    };
    while (a < oldText.size() || b < newText.size()) {
        // A run of equal lines, found by comparing bytes and counted.
        if (a < oldText.size() && b < newText.size()) {
            const size_t shared = SharedLength(oldText.substr(a), newText.substr(b));
            const size_t lastEnd = oldText.substr(a, shared).rfind('\n');
            if (lastEnd != std::string_view::npos) {
                const std::string_view run = oldText.substr(a, lastEnd + 1);
                copied += static_cast<size_t>(std::count(run.begin(), run.end(), '\n'));
                a += lastEnd + 1;
                b += lastEnd + 1;
                continue;
            }
        }
        size_t nextA = a, nextB = b;
        const std::string_view oldLine =
            a < oldText.size() ? LineAt(oldText, a, nextA) : std::string_view();
        const std::string_view newLine =
            b < newText.size() ? LineAt(newText, b, nextB) : std::string_view();
        if (a >= oldText.size()) {
            put('-', PathPart(newLine));
            b = nextB;
        } else if (b >= newText.size()) {
            put('+', oldLine);
            a = nextA;
        } else if (oldLine == newLine) {
            // The same line, one of the texts ending without a line end.
            ++copied;
            a = nextA;
            b = nextB;
        } else if ((a == 0 && b == 0) || PathPart(oldLine) == PathPart(newLine)) {
            put('~', oldLine);
            a = nextA;
            b = nextB;
        } else if (P::LessIgnoreCase(oldLine, newLine)) {
            put('+', oldLine);
            a = nextA;
        } else {
            put('-', PathPart(newLine));
            b = nextB;
        }
    }
    if (!oldText.empty() && oldText.back() != '\n') {
        flush();
        edit += ".\n";
    }
    return edit;
}

namespace {

// A cache text as runs of whole lines (each ending in LF) that stay where
// they are: in the current cache or in the edits' bodies. Applying an edit
// moves runs, not bytes, so rebuilding a measurement many steps back copies
// the cache once, at the end.
class Pieces {
  public:
    explicit Pieces(std::string_view text) {
        const size_t end = text.rfind('\n') + 1; // 0 when there is none
        const std::string_view ended = text.substr(0, end);
        Push(pieces_, {ended, static_cast<size_t>(std::count(ended.begin(), ended.end(), '\n'))});
        if (end < text.size()) pieces_.push_back(Ended(text.substr(end)));
    }

    // Applies an edit; false, with why, when it does not fit.
    bool Apply(std::string_view edit, std::string* why) {
        std::vector<Run> out;
        // Where the edit is in the text it edits: run, byte and lines used.
        size_t piece = 0, offset = 0, used = 0;
        size_t op = 0, next = 0, line = 0;
        noEnd_ = false;
        const auto fail = [&](const std::string& text) {
            if (why) *why = "line " + std::to_string(line) + " of the edit: " + text;
            return false;
        };
        // Moves past a run used up; false at the end of the text.
        const auto more = [&] {
            if (piece < pieces_.size() && offset == pieces_[piece].Text.size()) {
                ++piece;
                offset = used = 0;
            }
            return piece < pieces_.size();
        };
        // The next n lines, whole runs at a time where they can be.
        const auto take = [&](uint64_t n, std::vector<Run>* to, std::string_view* last) {
            while (n > 0) {
                if (!more()) return false;
                const Run& p = pieces_[piece];
                size_t count = p.Lines - used, end = p.Text.size();
                if (count > n) {
                    count = static_cast<size_t>(n);
                    end = offset;
                    for (size_t k = 0; k < count; ++k) {
                        end = p.Text.find('\n', end);
                        if (end == std::string_view::npos) return false;
                        ++end;
                    }
                }
                const std::string_view taken = p.Text.substr(offset, end - offset);
                if (to) Push(*to, {taken, count});
                if (last) *last = taken;
                offset = end;
                used += count;
                n -= count;
            }
            return true;
        };
        while (op < edit.size()) {
            const std::string_view o = LineAt(edit, op, next);
            // The operation's text with the LF after it in the edit.
            const std::string_view withEnd = edit.substr(op + 1, next - op - 1);
            op = next;
            ++line;
            if (o.empty() || noEnd_) return fail("no operation");
            const std::string_view text = o.substr(1);
            const auto putOld = [&] {
                Push(out, withEnd.size() > text.size() ? Run{withEnd, 1} : Ended(text));
            };
            if (o[0] == '=') {
                uint64_t n = 0;
                if (!ParseNumber(text, n) || n == 0) return fail("no count");
                if (!take(n, &out, nullptr)) return fail("the cache ends before the lines to copy");
            } else if (o[0] == '~' || o[0] == '-') {
                const bool header = piece == 0 && offset == 0 && o[0] == '~';
                std::string_view current;
                if (!take(1, nullptr, &current) || current.empty())
                    return fail("the cache ends before its line");
                current.remove_suffix(1);
                if (!header && PathPart(current) != (o[0] == '~' ? PathPart(text) : text))
                    return fail("the cache has another folder there");
                if (o[0] == '~') putOld();
            } else if (o[0] == '+') {
                putOld();
            } else if (o[0] == '.' && text.empty()) {
                noEnd_ = true;
            } else {
                return fail("unknown operation");
            }
        }
        if (more()) {
            const Run& p = pieces_[piece];
            Push(out, {p.Text.substr(offset), p.Lines - used});
            for (++piece; piece < pieces_.size(); ++piece)
                Push(out, pieces_[piece]);
        }
        if (noEnd_ && out.empty()) return fail("no line to end");
        pieces_ = std::move(out);
        return true;
    }

    std::string Text() const {
        size_t bytes = 0;
        for (const Run& p : pieces_)
            bytes += p.Text.size();
        std::string text;
        text.reserve(bytes);
        for (const Run& p : pieces_)
            text.append(p.Text);
        if (noEnd_ && !text.empty()) text.pop_back();
        return text;
    }

  private:
    // Whole lines, each ending with a LF, and how many.
    struct Run {
        std::string_view Text;
        size_t Lines = 0;
    };

    // Runs that follow each other in memory are kept as one.
    static void Push(std::vector<Run>& to, const Run& run) {
        if (run.Text.empty()) return;
        if (!to.empty() && to.back().Text.data() + to.back().Text.size() == run.Text.data()) {
            to.back().Text =
                std::string_view(to.back().Text.data(), to.back().Text.size() + run.Text.size());
            to.back().Lines += run.Lines;
        } else {
            to.push_back(run);
        }
    }

    // A copy of a line that ends without LF, with one: no line spans two
    // runs.
    Run Ended(std::string_view line) {
        owned_.push_back(std::string(line) + "\n");
        return {owned_.back(), 1};
    }

    std::vector<Run> pieces_;
    std::deque<std::string> owned_;
    bool noEnd_ = false;
};

} // namespace

bool ApplyHistoryEdit(std::string_view newText, std::string_view edit, std::string& oldText,
                      std::string* why) {
    Pieces pieces(newText);
    oldText.clear();
    if (!pieces.Apply(edit, why)) return false;
    oldText = pieces.Text();
    return true;
}

// ---- files ----

std::string HistoryBaseName(char letter) {
    return P::ProgramFileFolders().Data + "NRVS_" + std::string(1, letter);
}

struct DriveHistory::Record {
    uint64_t Offset = 0;
    HistorySummary Summary;
    uint64_t BodyAt = 0, BodyLength = 0;
    uint32_t BodyCrc = 0;
};

// A segment file's bytes, mapped where the system allows (reading the
// summaries then brings only the pages of the records' heads into memory),
// else read whole.
class DriveHistory::SegmentBytes {
  public:
    SegmentBytes() = default;
    SegmentBytes(const SegmentBytes&) = delete;
    SegmentBytes& operator=(const SegmentBytes&) = delete;
    ~SegmentBytes() {
        if (map_) P::UnmapFileGuarded(map_, length_);
    }
    bool Load(const std::string& name) {
        if (P::MapFileGuarded(name, map_, length_)) return true;
        map_ = nullptr;
        return P::ReadWholeFile(name, read_);
    }
    std::string_view View() const {
        return map_ ? std::string_view(static_cast<const char*>(map_), length_) : read_;
    }

  private:
    const void* map_ = nullptr;
    size_t length_ = 0;
    std::string read_;
};

struct DriveHistory::Segment {
    uint64_t Number = 0;
    std::string Name;
    uint64_t Length = 0;
    bool Sound = true;
    std::shared_ptr<const SegmentBytes> Bytes;
    std::vector<Record> Records;
};

DriveHistory::DriveHistory(std::string base, HistoryLimit limit)
    : base_(std::move(base)), limit_(limit) {}

std::string DriveHistory::SegmentName(uint64_t number) const {
    return base_ + ".h" + FormatText("%08llu", static_cast<unsigned long long>(number));
}

uint64_t DriveHistory::FirstSegment() const {
    // The note of the oldest segment, rewritten only when segments go.
    std::string note;
    uint64_t first = 1;
    if (P::ReadFileStart(base_ + ".hst", 64, note) && note.rfind("first ", 0) == 0)
        if (!ParseNumber(WithoutCr(note.substr(6, note.find('\n') - 6)), first) || first == 0)
            first = 1;
    return first;
}

std::vector<DriveHistory::Segment> DriveHistory::Read(HistoryFault* fault) const {
    std::vector<Segment> segments;
    bool faulted = false;
    for (uint64_t n = FirstSegment();; ++n) {
        Segment s;
        s.Number = n;
        s.Name = SegmentName(n);
        auto bytes = std::make_shared<SegmentBytes>();
        if (P::FileStamp(s.Name).empty() || !bytes->Load(s.Name)) break;
        const std::string_view all = bytes->View();
        s.Length = all.size();
        uint64_t at = 0;
        while (at < all.size()) {
            std::string reason;
            Record r;
            r.Offset = at;
            const uint64_t left = all.size() - at;
            if (left < kHeadBytes || all.substr(at, 4) != kMagic) {
                reason = left < kHeadBytes ? "cut short" : "no record starts here";
            } else {
                const uint64_t summaryLength = GetLe(all, at + 4, 4);
                r.BodyLength = GetLe(all, at + 8, 8);
                const uint32_t headCrc = static_cast<uint32_t>(GetLe(all, at + 16, 4));
                r.BodyCrc = static_cast<uint32_t>(GetLe(all, at + 20, 4));
                r.BodyAt = at + kHeadBytes + summaryLength;
                if (summaryLength > left - kHeadBytes ||
                    r.BodyLength > left - kHeadBytes - summaryLength) {
                    reason = "cut short";
                } else {
                    const std::string_view summary = all.substr(at + kHeadBytes, summaryLength);
                    if (P::Crc32(summary, P::Crc32(all.substr(at, 16))) != headCrc)
                        reason = "damaged (checksum)";
                    else if (!ParseSummary(summary, r.Summary))
                        reason = "damaged (summary)";
                }
            }
            if (!reason.empty()) {
                s.Sound = false;
                if (fault && !faulted) *fault = {s.Name, at, reason};
                faulted = true;
                break;
            }
            at = r.BodyAt + r.BodyLength;
            s.Records.push_back(std::move(r));
        }
        s.Bytes = std::move(bytes);
        segments.push_back(std::move(s));
    }
    return segments;
}

bool DriveHistory::Summaries(std::vector<HistorySummary>& out, HistoryFault* fault) const {
    out.clear();
    HistoryFault first;
    first.Offset = UINT64_MAX;
    for (const Segment& s : Read(&first))
        for (const Record& r : s.Records)
            out.push_back(r.Summary);
    if (fault && first.Offset != UINT64_MAX) *fault = first;
    return first.Offset == UINT64_MAX;
}

bool DriveHistory::Rebuild(std::string_view current, size_t back, std::string& out,
                           HistoryFault* fault) const {
    out.clear();
    Pieces pieces(current);
    const std::vector<Segment> segments = Read(nullptr);
    std::string header(HeaderOf(current));
    size_t done = 0;
    for (auto s = segments.rbegin(); s != segments.rend() && done < back; ++s) {
        for (auto r = s->Records.rbegin(); r != s->Records.rend() && done < back; ++r) {
            const auto refuse = [&](const std::string& text) {
                if (fault) *fault = {s->Name, r->Offset, text};
                out.clear();
                return false;
            };
            // An edit fits the cache of its own header only.
            if (r->Summary.Header != header) return refuse("of another cache: " + header);
            const std::string_view body = s->Bytes->View().substr(r->BodyAt, r->BodyLength);
            if (P::Crc32(body) != r->BodyCrc) return refuse("damaged (checksum)");
            std::string why;
            if (!pieces.Apply(body, &why)) return refuse(why);
            header = r->Summary.Before;
            ++done;
        }
    }
    if (done < back) {
        if (fault)
            *fault = {segments.empty() ? SegmentName(FirstSegment()) : segments.front().Name, 0,
                      "the history holds " + std::to_string(done) + " measurements"};
        return false;
    }
    out = pieces.Text();
    return true;
}

bool DriveHistory::FolderLines(std::string_view current, std::string_view path,
                               std::vector<std::string>& out, HistoryFault* fault) const {
    out.clear();
    std::string_view line = FindLineOfPath(current, path);
    // Halving finds it in a cache in order; one out of order is read through.
    for (size_t pos = 0, next = 0; line.empty() && pos < current.size(); pos = next) {
        const std::string_view l = LineAt(current, pos, next);
        if (pos > 0 && PathPart(l) == path) line = l;
    }
    std::string known(WithoutCr(line));
    out.push_back(known);
    const std::vector<Segment> segments = Read(nullptr);
    std::string header(HeaderOf(current));
    bool ok = true;
    for (auto s = segments.rbegin(); ok && s != segments.rend(); ++s) {
        for (auto r = s->Records.rbegin(); ok && r != s->Records.rend(); ++r) {
            const std::string_view body = s->Bytes->View().substr(r->BodyAt, r->BodyLength);
            const bool ofCache = r->Summary.Header == header;
            if (!ofCache || P::Crc32(body) != r->BodyCrc) {
                if (fault)
                    *fault = {s->Name, r->Offset,
                              ofCache ? "damaged (checksum)" : "of another cache: " + header};
                ok = false;
                break;
            }
            // The measurement changed, added or dropped the folder, or left it.
            for (size_t pos = 0, next = 0; pos < body.size(); pos = next) {
                const std::string_view op = LineAt(body, pos, next);
                if (op.empty()) continue;
                const std::string_view text = op.substr(1);
                if ((op[0] == '~' || op[0] == '+') && PathPart(text) == path) {
                    known = std::string(WithoutCr(text));
                    break;
                }
                if (op[0] == '-' && text == path) {
                    known.clear();
                    break;
                }
            }
            out.push_back(known);
            header = r->Summary.Before;
        }
    }
    std::reverse(out.begin(), out.end());
    return ok;
}

bool DriveHistory::Append(std::string_view oldText, std::string_view newText,
                          const Measured& measured, std::string* why) {
    HistorySummary s;
    s.Time = measured.Time;
    s.Header = std::string(HeaderOf(newText));
    s.Before = std::string(HeaderOf(oldText));
    s.RootLine = std::string(RootLineOf(newText));
    s.RootBefore = std::string(RootLineOf(oldText));
    s.Used = measured.Used;
    s.Free = measured.Free;
    const std::string summary = SummaryText(s);
    const std::string body = HistoryEdit(oldText, newText);
    std::string record(kMagic);
    PutU32(record, static_cast<uint32_t>(summary.size()));
    PutU64(record, body.size());
    PutU32(record, P::Crc32(summary, P::Crc32(record)));
    PutU32(record, P::Crc32(body));
    record += summary;
    record += body;

    // The newest segment takes it unless it is full, old or ends damaged.
    const std::vector<Segment> segments = Read(nullptr);
    uint64_t number = FirstSegment();
    if (!segments.empty()) {
        const Segment& last = segments.back();
        const bool full = last.Length > 0 && last.Length + record.size() > limit_.MaxBytes / 8;
        const bool old = !last.Records.empty() && last.Records.front().Summary.Time <
                                                      measured.Time - limit_.MaxAgeSeconds / 12;
        number = last.Number + (full || old || !last.Sound ? 1 : 0);
    }
    const std::string name = SegmentName(number);
    // Not flushed: the cache's own save waits for the disk, and a record
    // lost to a crash is found (no record names the cache's header), never
    // applied.
    if (!P::AppendToFile(name, record, false)) {
        if (why) *why = name + ": " + P::LastWriteError();
        return false;
    }
    Drop(measured.Time);
    return true;
}

bool DriveHistory::TakeInPrevious(std::string_view previousText, std::string_view currentText,
                                  int64_t time, std::string* why) {
    if (!P::FileStamp(SegmentName(FirstSegment())).empty()) return true;
    if (previousText.empty() || currentText.empty()) return false;
    return Append(previousText, currentText, {time, 0, 0}, why);
}

void DriveHistory::Drop(int64_t now) {
    const std::vector<Segment> segments = Read(nullptr);
    if (segments.size() < 2) return;
    // The newest segment always stays; an older one goes when it and those
    // after it hold more than the limit, or when its newest record is past
    // the age limit (and with it every older one).
    uint64_t bytes = segments.back().Length;
    size_t keepFrom = segments.size() - 1;
    for (size_t i = segments.size() - 1; i-- > 0;) {
        bytes += segments[i].Length;
        const bool tooOld = !segments[i].Records.empty() &&
                            segments[i].Records.back().Summary.Time < now - limit_.MaxAgeSeconds;
        if (bytes > limit_.MaxBytes || tooOld) break;
        keepFrom = i;
    }
    if (keepFrom == 0) return;
    // The note first: a segment left by a stop in between is below it, and
    // never read again.
    if (!P::ReplaceFile(base_ + ".hst",
                        "first " + std::to_string(segments[keepFrom].Number) + "\n"))
        return;
    for (size_t i = 0; i < keepFrom; ++i)
        P::RemoveOwnFile(segments[i].Name);
}

} // namespace nrvs
