// Whole-file access for the program's own files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Reads the whole file at a native path. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& nativePath, std::string& out);

// Replaces the file at a native path with data: writes a temporary file in the
// same folder, flushes it, then renames it over the old one. On failure the
// temporary file is removed and the old file stays as it was.
bool ReplaceFile(const std::string& nativePath, std::string_view data);

// The same for a text of lines, each written followed by CR LF, in chunks:
// a large cache never needs a second copy in memory.
bool ReplaceFileWithLines(const std::string& nativePath, const std::vector<std::string>& lines);

} // namespace nrvs::platform
