// What changed between two measurements of a drive: the previous one, kept
// when a measurement replaces the drive's cache, and the current one. Both
// are cache files sorted the same way, so the folders are compared in one
// merge pass; the files, where both sides have a file index, by walking the
// two folder trees side by side.
#pragma once

#include "core/cache/Folders.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

namespace platform {
class FileReader;
}

struct DriveRecord;
class FileIndex;

// The files of the previous measurement of drive letter: its cache, its
// file index, and the note of the volumes both measurements were taken of.
std::string PreviousCacheName(char letter);
std::string PreviousIndexName(char letter);
std::string PreviousVolumeName(char letter);

// The folder lines of one measurement, without copies of them: a cache file
// mapped from the disk, or the lines of a list in memory (which must then
// outlive this object unchanged).
class Measurement {
public:
    Measurement();
    ~Measurement();
    Measurement(const Measurement&) = delete;
    Measurement& operator=(const Measurement&) = delete;

    // Maps a cache file; false when it is missing, empty or no regular file.
    // lines false: only the header is read, for callers that copy the file
    // whole (the rest of a large cache is then never brought into memory).
    bool Map(const std::string& nativePath, bool lines = true);
    // Borrows the lines of a list (line 0 the header).
    void Borrow(const StringList& lines);

    const std::string& Header() const { return header_; }
    // The folder lines after the header.
    const std::vector<std::string_view>& Lines() const { return lines_; }
    // The mapped file's bytes; empty for borrowed lines.
    std::string_view Text() const { return text_; }

private:
    void Split(std::string_view text);
    void Unmap();
    const void* map_ = nullptr;
    size_t mapLength_ = 0;
    bool guarded_ = false;
    std::string_view text_;
    std::string header_;
    std::vector<std::string_view> lines_;
};

enum PreviousState {
    PS_OK = 0,
    PS_NONE,         // no previous measurement (or it is switched off)
    PS_DAMAGED,      // no header date, a line without figures, a path of no drive
    PS_OTHER_DRIVE,  // its folders are another letter's, or another volume's
};

// Where a measurement is at fault: the line (1 the header; 0 for none) and
// its text, or the two volumes' roots.
struct PreviousFault {
    size_t Line = 0;
    std::string Text;
};

// Why a previous measurement cannot be used, in one line for the user.
std::string PreviousStateText(PreviousState state, char letter, const PreviousFault& fault);

// Checks a measurement of drive letter: the header is a date and every line
// is a folder of that drive with its twelve figures. fault gets the first
// line at fault.
PreviousState CheckMeasurement(const Measurement& m, char letter, PreviousFault* fault = nullptr);
// Maps and checks the previous measurement of drive letter, whose current
// cache header is currentHeader: a previous one whose volume note says it was
// taken of another volume than the current one is refused too.
PreviousState LoadPrevious(char letter, const std::string& currentHeader, Measurement& out,
                           PreviousFault* fault = nullptr);

// The figures a change is about: the whole subtree's.
struct FolderFigures {
    double Size = 0;
    double Occupied = 0;
    int64_t Files = 0;
    int64_t Folders = 0;
};
FolderFigures FiguresOfLine(std::string_view line);

enum ChangeKey { CHK_SIZE = 0, CHK_OCCUPIED = 1, CHK_FILES = 2 };

struct FolderChange {
    std::string_view Path;  // into one of the two measurements
    bool Before = false, After = false;  // whether the folder was there
    FolderFigures Old, New;              // zero where it was not
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
    std::vector<std::pair<uint64_t, uint32_t>> index_;  // path hash, line
    bool loaded_ = false;
    char letter_ = 0;
    std::string current_;
};

// ---- files ----

struct FileChange {
    std::string Path;  // program path
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

// Whether something was done, told once from one thread to others that
// wait for it.
class SaveSignal {
public:
    void Set(bool saved);
    bool Wait();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool known_ = false, saved_ = false;
};

// ---- keeping the previous measurement ----

// Taken under the drive's cache lock before its cache is replaced: holds the
// cache and index on disk as they are (mapped, so that the rename of the new
// ones over them changes nothing of it). Commit, after the new cache was
// saved, keeps them as the drive's previous measurement: all of it for a
// drive measurement (below empty); for a folder measurement, its subtree's
// lines and files take the place of that subtree's in the previous
// measurement, which otherwise stays (or, when there is none usable, the
// whole replaced cache becomes it). With the setting off, Commit removes the
// drive's previous measurement instead.
class PreviousKeeper {
public:
    PreviousKeeper(const DriveRecord& drive, const std::string& below);
    ~PreviousKeeper();
    PreviousKeeper(const PreviousKeeper&) = delete;
    PreviousKeeper& operator=(const PreviousKeeper&) = delete;

    // newHeader: the header line of the cache just saved. False when the
    // previous measurement could not be written (why: file and reason); what
    // was there before is then left whole or removed, never half matched.
    bool Commit(const std::string& newHeader, std::string* why = nullptr);
    // The same while the new cache is still being saved, on another thread:
    // what can be written before is written aside, and nothing is put in
    // place until saved() says the cache was saved (it may wait for that;
    // it is called once). When it says not, nothing changes and the result
    // is true.
    bool Commit(const std::string& newHeader, std::string* why, const std::function<bool()>& saved);
    // A folder measurement's replaced lines, when the caller has them as the
    // replaced cache had them (in its order): Commit need not look for them.
    void TakeReplaced(StringList lines);
    // Said before Commit: the saver of the new cache merges it and will hand
    // over the lines it took out (ConfirmReplaced, before it tells that it
    // saved). Commit meanwhile finds them by halving in the replaced cache,
    // and starts again with the saver's when they differ (a cache out of
    // order).
    void ConfirmReplacedLater() { confirmLater_ = true; }
    void ConfirmReplaced(StringList lines) { confirmed_ = std::move(lines); }

private:
    bool KeepWhole(std::string* why);
    // refused: the previous measurement has a damaged line and was left as
    // it was.
    bool KeepSubtree(const std::string& previousHeader, std::string* why, bool& refused,
                     const std::function<bool()>& saved);
    // The header line of the previous measurement, when there is one.
    bool PreviousHeader(std::string& header) const;
    // The volume note as it is to be after the cache with newHeader was
    // saved: the new cache's line, and the previous measurement's when it
    // is the replaced cache kept whole.
    StringList VolumeNote(const std::string& newHeader, bool keptWhole) const;

    char letter_;
    std::string below_;
    std::string volume_;
    Measurement cache_;
    bool hasCache_ = false;
    const void* index_ = nullptr;
    size_t indexLength_ = 0;
    std::unique_ptr<FileIndex> oldIndex_;
    // A folder measurement's replaced cache, open for reading its subtree's
    // lines once the new one is saved.
    std::unique_ptr<platform::FileReader> oldCache_;
    // A drive measurement's old cache and index under second names in the
    // folder of previous measurements, until Commit moves them into place.
    std::string linkedCache_, linkedIndex_;
    StringList replaced_;
    bool hasReplaced_ = false;
    bool confirmLater_ = false;
    std::optional<StringList> confirmed_;
};

// The volume a drive's letter stands for now: serial number and root
// folder, for telling whether two measurements are of the same volume.
std::string VolumeIdentity(const DriveRecord& drive);

} // namespace nrvs
