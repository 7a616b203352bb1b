// The export documents: the tree (every measured folder of a drive) and the
// list (the main list's rows as shown), each as HTML or CSV, plus the export
// settings files and the two export runs that write a whole document to disk.
//
// The writers are plain functions over a line sink; each call adds whole
// lines, and the sink ends every line with CR LF.
#pragma once

#include "core/cache/Folders.h"
#include "core/views/Rows.h"
#include "lib/DirectoryListing.h"
#include "lib/StringList.h"

#include <string>
#include <string_view>

namespace nrvs {

class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual void Line(std::string_view text) = 0;
};

// What the writers need besides the rows: the heading's parts and the unit of
// the size texts.
struct ExportContext {
    std::string ComputerName;
    std::string RootPath; // of the drive, "C:\"; the heading shows its first two characters
    std::string DateText; // "yyyy/mm/dd hh:nn:ss"
    int SizeUnit = 0;
};

// The optional columns of a section; Links is for HTML only. Spreadsheet
// is for CSV only: the document starts with a UTF-8 byte-order mark (which
// spreadsheets on Japanese systems need to read UTF-8 at all) and a cell
// that a spreadsheet would take for a formula gets a leading apostrophe.
// Off, the data is written exactly as it is.
struct ExportColumns {
    bool Sizes = true;
    bool Files = true;
    bool Folders = true;
    bool Links = true;
    bool Spreadsheet = false;
};

// Row background alternation of the HTML documents: one flag per document
// kind, kept for the whole program run so that a later export continues where
// the previous one stopped.
struct RowTints {
    bool Tree = false;
    bool List = false;
};
RowTints& ExportTints();

// Fifty asterisks; a CSV list row's bar is a prefix of it.
const std::string& StarBar();

// The local time now in the heading's pattern.
std::string ExportDateText();

// Level and displayed name of a folder in the HTML tree: the drive's root is
// level 1 named by its whole path; below it one level per backslash.
struct TreeLevelResult {
    int Level = 1;
    std::string Name;
};
TreeLevelResult TreeLevel(std::string_view path, std::string_view rootPath);
// Depth of a folder in the CSV tree (one less than its level, the root 0)
// and its own name ("C:" for the root).
TreeLevelResult CsvDepth(std::string_view path);

// Text made safe inside HTML text and quoted attribute values.
std::string HtmlEscape(std::string_view text);
// A file URL of a program-form path, every byte outside the unreserved set
// percent-encoded; empty when the path lies on no drive.
std::string FileUrl(std::string_view programPath);
// A CSV field in double quotes, quotes inside doubled.
std::string CsvQuoted(std::string_view text);
// A CSV cell of a document: quoted, and for a spreadsheet a text starting
// with "=", "+", "-", "@", a tab or a CR (a file named "=HYPERLINK(...)" on a
// shared drive) starts with "'", so that it is shown and never run.
std::string CsvCell(std::string_view text, bool spreadsheet);

// The count texts of the list ("A=B" sub-items): "A / B" for HTML, "A | B"
// for CSV; empty when A is no number.
std::string ListCountText(std::string_view subItem, std::string_view separator);

// ---- HTML ----
void WriteTreeHtmlHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols);
void WriteTreeHtmlRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                      const FolderRecord& record);
void WriteListHtmlHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols);
void WriteListHtmlRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                      const RowFields& row, const std::string& linkBase, double percentBase);
void WriteHtmlFooter(LineSink& out);

// ---- CSV ----
void WriteTreeCsvHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols);
void WriteTreeCsvRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                     const FolderRecord& record);
void WriteListCsvHeader(LineSink& out, const ExportContext& ctx, const ExportColumns& cols);
void WriteListCsvRow(LineSink& out, const ExportContext& ctx, const ExportColumns& cols,
                     const RowFields& row, double percentBase);

// The rows the main window shows for a program-form folder path on the
// current drive, with the saved view settings (files shown or not, sort
// order, columns, percent base), every folder and file included.
FillResult ShownRows(const std::string& folderPath);
// The same from a listing of the folder made already (of a drive that is not
// here, from its last measurement).
FillResult ShownRows(const std::string& folderPath, const DirListing& listing);

// ---- whole documents ----

// The native file an export name stands for: a program-form path (X:\...)
// is translated, an absolute native path taken as typed, and a relative
// name taken from the user's home folder.
std::string ExportNativeName(const std::string& typed);

// Writes the tree document of folders (every line from position 1) to the
// file named typed, replacing it only once the whole document is written.
// false, with the system's reason in why, when the file cannot be created or
// a write fails; the old file is then left as it was.
bool ExportTreeFile(const std::string& typed, bool html, const ExportContext& ctx,
                    const ExportColumns& cols, FolderList& folders, std::string* why = nullptr);
// The same for the list document of rows (row 0 is the shown folder's).
bool ExportListFile(const std::string& typed, bool html, const ExportContext& ctx,
                    const ExportColumns& cols, const RowList& rows, double percentBase,
                    std::string* why = nullptr);

// ---- settings files ----

// One section's choices: five check marks (section, sizes, files, folders,
// links), two format marks (HTML, CSV) and a third for a CSV made for
// spreadsheets (on when missing), and the recent names, newest first.
struct ExportSettings {
    std::string Checks = "01111";
    std::string Formats = "101";
    StringList Names;
};
// 't' for the tree, 'l' for the list: norvessa.ept / norvessa.epl.
std::string ExportSettingsFileName(char section);
// Missing lines give the defaults; a missing file gives all defaults.
ExportSettings LoadExportSettings(const std::string& fileName);
// 1 on success; the old file stays whole on failure.
int SaveExportSettings(const std::string& fileName, const ExportSettings& settings);
// Puts typed at the front of names (dropping an entry equal to it ignoring
// letter case; an empty name is not recorded) and keeps at most ten.
void RecordRecentName(StringList& names, const std::string& typed);
// Whether a typed name holds anything but spaces and control characters.
bool ExportNameGiven(std::string_view typed);

} // namespace nrvs
