// The previous measurement of a drive: the one a measurement replaced, kept
// beside the current cache, read back as lines without copies and checked
// before it is compared with the current one.
#pragma once

#include "core/cache/Folders.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

struct DriveRecord;

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
    PREVIOUS_OK = 0,
    PREVIOUS_NONE,        // no previous measurement (or it is switched off)
    PREVIOUS_DAMAGED,     // no header date, a line without figures, a path of no drive
    PREVIOUS_OTHER_DRIVE, // its folders are another letter's, or another volume's
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

// The volume a drive's letter stands for now: serial number and root
// folder, for telling whether two measurements are of the same volume.
std::string VolumeIdentity(const DriveRecord& drive);
// The same for a scan imported as a letter: the machine (may be empty) and
// the root that was scanned; never a volume's.
std::string ImportIdentity(const std::string& host, const std::string& root);

} // namespace nrvs
