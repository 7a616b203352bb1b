// Text files of lines, as the small lists beside the program (the drive map)
// are kept; they are written with ReplaceFileWithLines (platform/FileAccess.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// The lines of a text: each ends at CR LF, CR or LF; a last line without an
// end counts, an empty text has none.
void SplitLines(std::string_view text, std::vector<std::string>& lines);
// The lines of a whole file; false (and no lines) when it cannot be read.
bool ReadFileLines(const std::string& nativePath, std::vector<std::string>& lines);

} // namespace nrvs::platform
