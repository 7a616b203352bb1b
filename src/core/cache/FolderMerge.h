// Merging a folder measurement into a file of cache lines: the folder's
// fresh lines take the place of its old ones and of the folders under it,
// and the folders above it get their totals moved; the file is read piece
// by piece and never held whole.
#pragma once

#include "core/cache/Folders.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

// The positions (ascending) of the lines a measurement of folder path
// replaces: the header, the folder's own line and those of the folders below
// it; every line for a drive's root. Lines that merely contain the path
// elsewhere belong to other folders. In a cache in order only the run of
// lines that begin with the path without regard to case is looked at.
std::vector<size_t> LinesOfFolder(FolderList& folders, std::string_view path);

// The cache a folder measurement leaves, from the bytes of the cache it
// found (text) and the folder's new lines (fresh, in any order; sorted here):
// header, then the lines of text less its header and the lines of below and
// the folders under it, with fresh merged in. Line for line what sorting all
// those lines stably without regard to case gives, kept ones before fresh
// ones that compare equal, but the kept lines, already in that order, are
// neither sorted again nor parsed: runs of them go to put as they are. A
// cache out of order (edited by hand) is sorted in full. Lines end in CR LF.
// False when put refuses. chunk: how much of the text is looked at at once.
bool MergeFolderLines(std::string_view text, std::string_view below, std::string_view header,
                      StringList& fresh, const std::function<bool(std::string_view)>& put,
                      size_t chunk = size_t{1} << 20);
// What a folder measurement changes above the folder it measured: the
// subtree totals of every folder over it go up or down by the difference
// between its new line and its old one (none for a folder new to the cache;
// none for a folder gone from it, whose whole figures go), and its parent
// counts one more folder of its own when it is new, one less when it is gone.
class ParentsUpdate {
  public:
    // below: the measured folder; oldLine: its line before (empty when it
    // had none); newLine: its line now (empty when it has none).
    ParentsUpdate(std::string_view below, std::string_view oldLine, std::string_view newLine);
    // Whether line is the line of a folder above below (exactly its path's
    // start, up to a separator), and then that line with the figures moved.
    bool Adjust(std::string_view line, std::string& adjusted) const;
    // The same when the length of the start line and below share is known.
    bool Adjust(std::string_view line, size_t shared, std::string& adjusted) const;
    // The paths of the folders above below, the drive's root first.
    StringList Ancestors() const;

  private:
    std::string below_;
    double bytes_ = 0, occupied_ = 0;
    int64_t files_ = 0, folders_ = 0;
    bool isNew_ = false, isGone_ = false;
};
// The first line of a cache text in order (its header skipped) whose path is
// path, found by halving; empty when there is none (or the text is out of
// order and hides it).
std::string_view FindLineOfPath(std::string_view text, std::string_view path);
// The lines of the folder below and the folders under it (byte for byte) in
// a cache text in order, found by halving: SubtreeLinesOf's lines when the
// text is in order; some may be missing when it is not.
StringList SubtreeLinesIn(std::string_view text, std::string_view below);
// In the list, sorted: the lines of the folders above below, changed as
// update says.
void UpdateParents(FolderList& folders, const ParentsUpdate& update);

// What a merge into a file may do beside merging.
struct MergeExtras {
    // Gets the lines taken out (the folder's and those below), in the file's
    // order; empty when the merge failed.
    StringList* Replaced = nullptr;
    // Asked for every line of the file but a header line as it is read;
    // false refuses the file: nothing is replaced and Refused is set.
    std::function<bool(std::string_view)> Accept;
    bool Refused = false;
    // When given, the merged file takes the name only if Gate() then says so
    // (see ReplaceFileStreamedGated).
    std::function<bool()> Gate;
    // The lines of the folders above the merged one get their totals moved
    // by the difference between its old line in the file and its new one
    // (among the fresh lines; a folder with none there is taken out whole).
    bool UpdateParents = false;
};
// The same as MergeIntoCache (cache/Cache) on any file of cache lines (the
// previous measurement's).
bool MergeIntoFile(const std::string& nativePath, std::string_view below, std::string_view header,
                   StringList& fresh, std::string* why = nullptr, MergeExtras* extras = nullptr);
// One folder's line to change in a file of cache lines: Change makes the
// new line (of the same path) from the old one; Found says whether the file
// held a line of Below.
struct FolderLineChange {
    std::string Below;
    std::function<std::string(std::string_view)> Change;
    bool Found = false;
};
// Folders' lines in a file of cache lines replaced by what their changes
// make of them, and the lines of the folders above each moved by the
// difference as a merge moves them (ParentsUpdate; a folder above several
// by each); every other line, the header among them, stays byte for byte.
// One pass over the file for however many folders: for what files removed
// from them take off. False when the file holds a line of none of them or
// could not be written (why: file: reason); the file then stays as it was.
bool ChangeFolderLines(const std::string& nativePath, std::vector<FolderLineChange>& changes,
                       std::string* why = nullptr);
// Calls fn with each line of what read gives (as FileReader::Read: bytes,
// 0 at the end, -1 on failure), split as the cache reader splits (CR LF, LF
// or a lone CR ends a line), until fn returns false. Only a piece of the
// text is held at a time. False when reading failed.
bool ForEachLine(const std::function<long(char*, size_t)>& read,
                 const std::function<bool(std::string_view)>& fn);
// The lines after the first whose folder is below or under it (byte for
// byte), in the text's order; the other lines are not parsed.
StringList SubtreeLinesOf(const std::function<long(char*, size_t)>& read, std::string_view below);
} // namespace nrvs
