// The rows of the main window's list: one tab-separated string per row
// (image, caption, size, occupied, graph value, file counts "direct=subtree",
// folder counts), built from a folder's listing and the drive's folder list.
#pragma once

#include "core/cache/Folders.h"
#include "core/drives/DriveTable.h"
#include "lib/StringList.h"

#include <array>
#include <cstdint>
#include <string>

namespace nrvs {

using RowList = StringList;

// Row images.
enum RowImage : int {
    IMG_BLANK = -1,
    IMG_FOLDER = 7,
    IMG_FILE = 9,
    IMG_HEADER = 10,
    IMG_FILE_TOTAL = 20,
    IMG_FOLDER_TOTAL = 44,
    IMG_RESERVED = 45,
};

// A subtree count that is not known (a subfolder without a measurement);
// -1 is a count that does not apply (files).
constexpr int64_t kUnknownCount = -2;

extern const char* const kFolderTotalCaption; // "総計 - フォルダ -"
extern const char* const kFileTotalCaption;   // "総計 - ファイル -"
extern const char* const kReservedCaption;    // "予約 - Windows -"

struct RowFields {
    int Image = -1;
    std::string Caption;
    std::string Size, Occupied, Graph, Files, Folders;
};
// Splits a row at its tabs; missing fields are empty.
RowFields SplitRow(const std::string& row);

// Builds a row; the graph value is the occupied size unless the occupied
// column is switched off in columnFlags.
std::string MakeRow(int image, const std::string& caption, double size, double occupied,
                    int64_t directFiles, int64_t subtreeFiles, int64_t directFolders,
                    int64_t subtreeFolders, const std::string& columnFlags);
// Inserts at position, or appends when position is past the end.
void AddRow(RowList& rows, int position, const std::string& row);

struct SortOrder {
    int SortKey = 0; // 0 name, 1 size
    int SortDescending = 0;
    std::string ColumnFlags = "1111";
};
// Folder rows before file rows; then by name or value in the chosen
// direction; an unmeasured value (-1) after all others either way.
int CompareRows(const std::string& a, const std::string& b, const SortOrder& order);
// Stable sort of rows with CompareRows, each row parsed once.
void SortRows(RowList& rows, const SortOrder& order);

// The figures of a drive's root, one rule for every window and verb that
// shows it. At a volume's root the root holds the volume's used space: what
// was measured and the rest, reserved (the file system's own, and what could
// not be read). At a folder given a letter the volume's other folders are
// not the root's: the root holds what was measured, nothing is reserved, and
// the used space and capacity a percentage may relate to are the measured
// occupied size too. measuredOccupied below 0 is not known.
struct RootFigures {
    bool VolumeRoot = true;
    double Used = -1;     // the root's occupied size; -1 when not known
    double Capacity = -1; // the root's capacity; -1 when not known
    double Reserved = 0;  // the reserved row's size; 0 and no row at a folder
};
RootFigures FiguresOfRoot(bool volumeRoot, double totalBytes, double freeBytes,
                          double measuredOccupied);
RootFigures FiguresOfRoot(const DriveRecord& drive, double measuredOccupied);

struct FillInput {
    std::string Path;          // the folder shown, program form with trailing backslash
    const StringList* Entries; // the listing's lines, in listing order
    int ListedFolders = 0;     // the listing's FolderCount
    int ListedFiles = 0;       // the listing's FileCount
    double TotalBytes = 0;     // of the drive
    double FreeBytes = 0;
    std::string RootPath;   // of the drive, "C:\"
    bool VolumeRoot = true; // false: the drive's root is a folder inside a volume
    bool ShowFiles = false;
    bool WantFolders = true; // false: the user declined to see them all
    bool WantFiles = true;
    int PercentBase = 0;
    SortOrder Order;
};

struct FillResult {
    RowList Rows;
    double PercentBaseValue = 0;
    bool DisplayComplete = false;
};

// The list of one folder: header, folder total, folders, file total, files,
// reserved space at the root of a volume, with blank rows between the groups.
// previousPercentBase is kept when the base rule is unknown.
FillResult BuildRows(const FillInput& in, FolderList& folders, double previousPercentBase);

// Whether a row shows a folder that has not been measured.
bool RowsShowUnmeasured(const RowList& rows);

// Widths of the six list columns for a font of pointSize points.
std::array<int, 6> ColumnWidths(const RowList& rows, int pointSize, int sizeUnit,
                                const std::string& columnFlags, int nameWidth, int graphWidth);

// The info tip of a row: the cluster gap, or empty when the size is unknown.
// A folder that the measurement could not read says so instead.
std::string InfoTip(const std::string& caption, const std::string& sizeText,
                    const std::string& occupiedText, bool unreadable = false);
// The tip of a count cell ("direct=subtree"): the counts under a label;
// files says that it is the files column, whose counts are of names (a file
// with several names counts in every folder holding one). Empty for a row
// without counts.
std::string CountTip(const std::string& caption, const std::string& countText, bool files);
// The line of the delete question that says where the items go (the trash
// or gone for good) and how many and how big they are: folders -1 for a
// file; counts or bytes below 0 when not measured.
std::string DeleteWhereText(bool toTrash, int64_t folders, int64_t files, double bytes);
// The program-form path of the folder a row shows (header row: the folder
// itself; folder row: the header's path and the name), or empty for a row
// of another kind.
std::string RowFolderPath(const std::string& headerCaption, int image, const std::string& caption);

} // namespace nrvs
