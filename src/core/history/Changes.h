// What changed between two measurements of a drive: the previous one, kept
// when a measurement replaces the drive's cache, and the current one. Both
// are cache files sorted the same way, so the folders are compared in one
// merge pass; the files, where both sides have a file index, by walking the
// two folder trees side by side.
#pragma once

#include "core/history/PreviousMeasurement.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

class FileIndex;

// The figures a change is about: the whole subtree's.
struct FolderFigures {
    double Size = 0;
    double Occupied = 0;
    int64_t Files = 0;
    int64_t Folders = 0;
};
FolderFigures FiguresOfLine(std::string_view line);

enum ChangeKey { CHANGE_KEY_SIZE = 0, CHANGE_KEY_OCCUPIED = 1, CHANGE_KEY_FILES = 2 };

struct FolderChange {
    std::string_view Path;              // into one of the two measurements
    bool Before = false, After = false; // whether the folder was there
    FolderFigures Old, New;             // zero where it was not
    // After minus before of a key (a new folder's whole figure, a removed
    // one's whole figure negated).
    double Delta(ChangeKey key) const;
};

// Every folder (below the program path below, itself included; empty: the
// whole drive) whose size, occupied size, files or folders differ between the
// two measurements, including new and removed ones, in the order of the
// lines. A side that is out of order (a cache edited by hand) is sorted
// first; a path given twice counts once, at its first line.
std::vector<FolderChange> CompareMeasurements(const Measurement& before, const Measurement& after,
                                              const std::string& below = {});

// Kinds of change, for choosing which to show.
enum : unsigned {
    CHANGE_GROWN = 1,
    CHANGE_SHRUNK = 2,
    CHANGE_NEW = 4,
    CHANGE_REMOVED = 8,
    CHANGE_ALL = 15,
};
// A folder that is new or removed is that, whatever its figures; one that
// was there both times grew or shrank by the key (neither when the key did
// not change: only another figure did).
unsigned KindOfChange(const FolderChange& change, ChangeKey key);

// Keeps the changes of the kinds given and orders them by the absolute
// change of the key, largest first, ties by the path's bytes; at most top of
// them (0: all).
void RankChanges(std::vector<FolderChange>& changes, ChangeKey key, unsigned kinds, size_t top);

// A change as the windows show it: "+1.50 MB", "-300 B", "±0" (sizes in the
// unit of the size formatting); counts "+3", "-1", "±0".
std::string SignedSizeText(double delta, int sizeUnit);
std::string SignedCountText(double delta);

// The figures of the previous measurement by folder, for the main list's
// column of changes: found by path without a pass over the lines.
class PreviousFigures {
  public:
    // Loads the previous measurement of drive letter when it can be
    // compared with the current cache of header currentHeader.
    PreviousState Load(char letter, const std::string& currentHeader);
    bool IsLoaded() const { return loaded_; }
    char Letter() const { return letter_; }
    const std::string& CurrentHeader() const { return current_; }
    // False when the folder was not in the previous measurement.
    bool Find(std::string_view path, FolderFigures& out) const;

  private:
    Measurement m_;
    std::vector<std::pair<uint64_t, uint32_t>> index_; // path hash, line
    bool loaded_ = false;
    char letter_ = 0;
    std::string current_;
};

// ---- files ----

struct FileChange {
    std::string Path; // program path
    bool Before = false, After = false;
    uint64_t OldSize = 0, NewSize = 0;
    double Delta() const { return static_cast<double>(NewSize) - static_cast<double>(OldSize); }
};

// The files below a folder (its whole subtree; empty: the drive) that
// appeared, vanished or changed size between the two file indexes, by the
// absolute change, largest first, ties by path; at most top (0: all). Files
// the program deleted since the current measurement count as vanished; a
// folder that was not measured on a side counts as empty there.
std::vector<FileChange> CompareFileIndexes(const FileIndex& before, const FileIndex& after,
                                           const std::string& below, size_t top);

} // namespace nrvs
