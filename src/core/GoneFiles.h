// Files the program deleted or moved: the index of the drive's cache on disk
// marks them gone, so that every list that reads it leaves them out at once,
// and the cache takes their figures off the folders that held them, so that
// every total reads what is left without measuring again. Across the drive
// table, the cache and the index, so above all three.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nrvs {

// Marks the files of programPath gone (MarkGoneInIndex) in the index of
// whatever drive holds it, with the index of the cache on disk. A file or a
// folder (with or without its trailing backslash). False when there is no
// such index or it does not hold it.
bool ForgetInFileIndex(const std::string& programPath);

// How many names (hard links) the file at programPath has, asked before the
// program removes it; 1 for a folder or what cannot be asked.
uint32_t NamesOfFile(const std::string& programPath);

// After the program deleted programPath or moved it away: under the cache
// lock, the drive's cache loses it and then its index marks it gone
// (ForgetInFileIndex). A file takes its size, occupied size and one file off
// its folder's own and subtree figures and off the subtree figures of every
// folder above (its figures as the index of the cache holds them; a further
// name of a file counted once, or one that keeps another name, namesBefore
// > 1, takes off only the file). A folder takes its lines out and its
// totals, itself among the folders, off every folder above. The cache's
// header line stays, so the index still belongs to it. False when the cache
// was left as it was (no cache, no index for a file, nothing of it there).
bool ForgetRemoved(const std::string& programPath, uint32_t namesBefore);

// One thing the program removed, with its names before (NamesOfFile).
struct RemovedItem {
    std::string Path;
    uint32_t NamesBefore = 1;
};
// ForgetRemoved for many at once, as one after the other would leave the
// cache, but with the files of a drive taken off in one rewrite of its
// cache, not one each. A path given twice counts once. How many changed the
// cache.
size_t ForgetRemoved(const std::vector<RemovedItem>& removed);

} // namespace nrvs
