// Keeping the previous measurement of a drive when a measurement replaces
// its cache: called by the measurement code around the save of the new cache.
#pragma once

#include "core/history/PreviousMeasurement.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace nrvs {

namespace platform {
class FileReader;
}

class FileIndex;

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

// An import puts another source's tree under the letter: what was kept of
// the letter's measurements is no "before" of it. Removes the previous
// measurement and notes the import (header: its cache's header line; host
// and root: what was scanned) as the source of the letter's cache, so that
// a measurement that replaces it keeps it as a previous measurement of
// another source, which is refused, never compared. Called before the
// import's cache is saved, under the drive's cache lock. False, with why
// (file and reason), when the previous measurement could not be removed.
bool StartHistoryAfresh(char letter, const std::string& header, const std::string& host,
                        const std::string& root, std::string* why = nullptr);

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
    // Whether the previous measurement (of header previousHeader) and the
    // replaced cache may be of one source: not when the volume note names
    // the sources of both, and they differ. A folder's figures then go into
    // no previous measurement of another source: the replaced cache is kept
    // whole instead.
    bool OfOneSource(const std::string& previousHeader) const;
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

} // namespace nrvs
