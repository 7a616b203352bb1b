// A drive's history: every measurement appends a record of what it changed
// in the cache, from which any earlier measurement is rebuilt, newest first,
// and a summary of each measurement is read without rebuilding anything.
// Format and reasons: docs/history.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

// How much history a drive keeps: the oldest records go first once either
// is passed.
struct HistoryLimit {
    int64_t MaxAgeSeconds = int64_t{365} * 24 * 3600;
    uint64_t MaxBytes = uint64_t{200} << 20;
};

// One measurement as its record tells it, without its lines.
struct HistorySummary {
    int64_t Time = 0;       // its start, seconds since 1970 UTC
    std::string Header;     // the header line of the cache it wrote
    std::string Before;     // the header line of the cache it replaced
    std::string RootLine;   // the drive root's line in the cache it wrote
    std::string RootBefore; // the same in the cache it replaced
    uint64_t Used = 0;      // the volume's bytes used and free (0: unknown)
    uint64_t Free = 0;
};

// A record refused: its segment file, its offset there and why.
struct HistoryFault {
    std::string File;
    uint64_t Offset = 0;
    std::string Text;
};

// The edit that turns the lines of newText back into those of oldText (two
// cache texts, each in the cache's order): one pass over both, equal runs
// skipped at memory speed.
std::string HistoryEdit(std::string_view oldText, std::string_view newText);
// Applies an edit to newText. False, with why, when the edit does not fit
// newText (a line of another path where it expects one, too few lines).
bool ApplyHistoryEdit(std::string_view newText, std::string_view edit, std::string& oldText,
                      std::string* why = nullptr);

// The native name the history files of drive letter start with, beside its
// cache and file index: "NRVS_X".
std::string HistoryBaseName(char letter);

class DriveHistory {
  public:
    // base: the native name the files start with (HistoryBaseName).
    explicit DriveHistory(std::string base, HistoryLimit limit = {});

    // What the measurement found of the volume.
    struct Measured {
        int64_t Time = 0;
        uint64_t Used = 0, Free = 0;
    };
    // Appends the record of a measurement that replaced the cache oldText by
    // newText (both byte for byte as on disk), then drops what the limit no
    // longer keeps. Called under the drive's cache lock, as the cache's save. False, with why
    // (file and reason), when it could not be written; the history before it
    // is left as it was.
    bool Append(std::string_view oldText, std::string_view newText, const Measured& measured,
                std::string* why = nullptr);
    // A history written by an older version, the previous measurement and
    // the current cache, taken in as the first record when there is none.
    // True when there is a history afterwards.
    bool TakeInPrevious(std::string_view previousText, std::string_view currentText, int64_t time,
                        std::string* why = nullptr);

    // Every measurement kept, oldest first. False, with the first record
    // refused, when one was: the records before it still serve, and so do
    // those of later segment files.
    bool Summaries(std::vector<HistorySummary>& out, HistoryFault* fault = nullptr) const;
    // The cache text of the measurement back steps before current (1: the one
    // current replaced). False, with the record at fault, when the history
    // does not reach back so far or a record on the way is damaged or belongs
    // to another cache.
    bool Rebuild(std::string_view current, size_t back, std::string& out,
                 HistoryFault* fault = nullptr) const;
    // The line of one folder (its program path, "X:\\dir\\") in each
    // measurement kept, oldest first, and last its line in current: empty
    // where the folder was not there. Read from the records' edits alone,
    // without rebuilding a cache. False, with the record at fault, when a
    // record on the way is damaged or belongs to another cache: out then
    // holds the measurements after it.
    bool FolderLines(std::string_view current, std::string_view path, std::vector<std::string>& out,
                     HistoryFault* fault = nullptr) const;
    // Removes the segment files the limit no longer keeps, as of now.
    void Drop(int64_t now);

    // The native name of segment number.
    std::string SegmentName(uint64_t number) const;

  private:
    struct Record;
    class SegmentBytes;
    struct Segment;
    // Every segment from the oldest; fault gets the first record refused.
    std::vector<Segment> Read(HistoryFault* fault) const;
    uint64_t FirstSegment() const;

    std::string base_;
    HistoryLimit limit_;
};

} // namespace nrvs
