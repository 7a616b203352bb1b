// A folder's line in a cache: its path, " > ", then twelve numbers joined
// with ":"; written from a folder record and read back into one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nrvs {

// What ends the path of a folder's line; the numbers follow it.
inline constexpr std::string_view kPathEnd = " > ";

struct FolderRecord {
    std::string Path;
    double TreeBytes = 0;
    double TreeOccupied = 0;
    double OwnBytes = 0;
    double OwnOccupied = 0;
    int32_t OwnFiles = 0;
    int32_t TreeFiles = 0;
    int32_t OwnFolders = 0;
    int32_t TreeFolders = 0;
    int32_t Archive = 0;
    int32_t Hidden = 0;
    int32_t ReadOnly = 0;
    int32_t System = 0;
    std::string Line;
};

// Path, " > ", the twelve numbers joined with ":". Stores the line in the
// record and returns it.
const std::string& FormatRecord(FolderRecord& record);
// The inverse; never fails: missing or bad numbers are 0, and a line without
// " > " is all path. The path ends at the last " > " of the line (the numbers
// never hold one), so a folder named "a > b" keeps its whole path.
FolderRecord ParseRecord(std::string_view line);
// The path part of a line, and whether the line has one at all.
bool PathOfLine(const std::string& line, std::string_view& path);
bool PathOfLine(std::string_view line, std::string_view& path);

// The twelve numbers of a line in field order, read as ParseRecord reads them
// but without copying the line: for callers that walk a million lines.
struct RecordNumbers {
    double Floats[4] = {0, 0, 0, 0};            // TreeBytes, TreeOccupied, OwnBytes, OwnOccupied
    int32_t Ints[8] = {0, 0, 0, 0, 0, 0, 0, 0}; // OwnFiles .. System
};
// False (and all zero) when the line has no " > "; path is then the whole line.
bool ParseNumbers(std::string_view line, std::string_view& path, RecordNumbers& out);

} // namespace nrvs
