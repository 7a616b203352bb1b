// The ranking of a drive's folders: the folder list filtered by the user's
// exclusions and attribute filters, sorted in descending order of one of nine
// measures; and the per-drive ranking file that keeps the window's choices.
#pragma once

#include "core/cache/Folders.h"
#include "lib/StringList.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

constexpr int kRankKeys = 9;
constexpr int kRankCounts = 15;

// The key of a record: 0 subtree size, 1 subtree occupied size, 2 cluster gap,
// 3 direct-file size, 4 direct-file occupied size, 5 direct file count,
// 6 subtree file count, 7 direct subfolder count, 8 subtree folder count.
// Counts are exact in a double, so one comparison serves every key.
double RankKey(const FolderRecord& record, int key);

struct RankExclusion {
    std::string Path;
    bool WithSubfolders = false;
};

struct RankOptions {
    // 0..8; any other value makes every pair compare equal.
    int SortKey = 1;
    // Archive, hidden, read-only, system, no own files: "1" (any character but
    // "0") filters that kind of folder out.
    std::string Filters = "01111";
    std::vector<RankExclusion> Exclusions;
};

// What the computation tells the window: the message line, with pending
// window messages let through. Called on the first comparison and on every
// hundredth after it; the receiver decides how often to repaint.
class RankHooks {
  public:
    virtual ~RankHooks() = default;
    virtual void Message(std::string_view) {}
};

// The working list: the remaining folders in ranked order. It refers to the
// lines of the list it was computed from by position, so it is read before that
// list changes (the window fills its rows right after computing).
class RankList {
  public:
    struct Entry {
        double Key;
        uint32_t Line;
        uint32_t PathLength;
    };

    // Filters and sorts the folder lines (line 0 the header, line 1 the root,
    // both left out). A list of fewer than three lines gives an empty ranking.
    // The ranking keeps a copy of the list, which shares its text.
    // With top above 0 only the first top places are kept, the same ones in
    // the same order, sorted no further than that.
    void Compute(const FolderList& lines, const RankOptions& options, RankHooks& hooks,
                 size_t top = 0);
    // Lines in hand (line 0 the header), put into a list first.
    void Compute(const StringList& lines, const RankOptions& options, RankHooks& hooks);
    void Clear();

    int Count() const { return static_cast<int>(entries_.size()); }
    // The record ranked k-th (from 0); an empty record outside the list.
    FolderRecord RecordAt(int k) const;
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    FolderList lines_;
    std::vector<Entry> entries_;
};

// The items of the row-count list: "Top 5", "Top 10", ... "Top 100"; empty
// for an index the list does not have.
std::string RankCountText(int index);
// "Top 10" -> 10: the text from its fifth character on; 1 when that is no
// number (no item selected).
int RankRowCount(std::string_view countItemText);
// The caption of rank k (from 0) with n rows: "%0*d " at the width of n's
// digits, then the path.
std::string RankCaption(int k, int n, std::string_view path);
// The nine value texts of a row: five sizes in the given display unit, four
// counts with thousands separators.
std::array<std::string, kRankKeys> RankCells(const FolderRecord& record, int sizeUnit);

// ---- the ranking file ----

struct RankSettings {
    std::string Columns = "111110000";
    int NameWidth = 240;
    int SortIndex = 1;
    int CountIndex = 1;
    std::string Filters = "01111";
    std::vector<RankExclusion> Exclusions;
};

// "<executable without extension>_<letter>.rks" beside the executable.
std::string RankFileName(char letter);
// Missing or damaged lines take their defaults: a missing file, a number that
// is none or out of range, a state string too short (the missing positions
// come from the default). Exclusions are every line from 10 on.
RankSettings LoadRankSettings(const std::string& fileName);
// Rewrites the whole file atomically; 0 when it could not be written.
int SaveRankSettings(const RankSettings& settings, const std::string& fileName);

} // namespace nrvs
