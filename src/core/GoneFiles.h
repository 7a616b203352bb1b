// Files the program deleted or moved: the index of the drive's cache on disk
// marks them gone, so that every list that reads it leaves them out at once.
// Across the drive table, the cache and the index, so above all three.
#pragma once

#include <string>

namespace nrvs {

// Marks the files of programPath gone (MarkGoneInIndex) in the index of
// whatever drive holds it, with the index of the cache on disk. A file or a
// folder (with or without its trailing backslash). False when there is no
// such index or it does not hold it.
bool ForgetInFileIndex(const std::string& programPath);

} // namespace nrvs
