// The verbs that write and read documents: export (the export dialog's HTML
// and CSV, and ncdu's JSON) and import (a scan in ncdu's JSON as a drive
// letter of its own).

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/Verbs.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/exchange/Export.h"
#include "core/exchange/Ncdu.h"
#include "core/index/FileIndex.h"
#include "core/offline/Snapshot.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "platform/Drives.h"
#include "platform/InputDocument.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace nrvs::cli {

// The export dialog's two documents without the dialog: the tree of a
// drive's cache and the list the window would show for a folder.
namespace {

// "X:\\..." names a file by its drive letter, which the export translates.
bool IsProgramFormName(const std::string& name) {
    return name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) &&
           name[1] == ':' && name[2] == '\\';
}

} // namespace

int RunExport(const CommandLine& commandLine) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "norvessa-cli export: %s\n", text.c_str());
        return 1;
    };
    const std::string& driveArg = commandLine.arguments[0];
    std::string treeFile, listArg, listFile, format, outFile;
    ExportColumns cols;
    cols.Links = false;
    bool plain = false;
    for (const GivenOption& o : commandLine.options) {
        const std::string& a = o.name;
        // An empty value is refused as no value at all.
        auto value = [&](size_t at, std::string& out) {
            if (o.values[at].empty()) return false;
            out = o.values[at];
            return true;
        };
        if (a == "--tree") {
            if (!value(0, treeFile)) return fail("--tree needs a file name");
        } else if (a == "--list") {
            if (!value(0, listArg) || !value(1, listFile))
                return fail("--list needs a folder and a file name");
        } else if (a == "--format") {
            if (!value(0, format)) return fail("--format needs html, csv or ncdu");
        } else if (a == "--out") {
            if (!value(0, outFile)) return fail("--out needs a file name");
        } else if (a == "--no-sizes")
            cols.Sizes = false;
        else if (a == "--no-files")
            cols.Files = false;
        else if (a == "--no-folders")
            cols.Folders = false;
        else if (a == "--links")
            cols.Links = true;
        else if (a == "--plain")
            plain = true;
    }
    if (driveArg.empty()) return fail("which drive? (export X: --tree FILE ...)");
    // A relative name is the current folder's here, as for every other file
    // the tool writes (the dialog takes it from the home folder instead).
    for (std::string* name : {&treeFile, &listFile})
        if (!name->empty() && !IsProgramFormName(*name))
            *name = platform::AbsoluteNativePath(*name);
    if (format == "ncdu") {
        if (outFile.empty()) return fail("--format ncdu needs --out FILE");
        if (!treeFile.empty() || !listFile.empty())
            return fail("--format ncdu writes one file, given with --out");
        std::string path;
        if (!ImportedFolder(driveArg, path)) {
            if (!ResolveFolder(driveArg, path, false)) return 1;
            LoadParameters({});
        }
        std::string why;
        if (!ExportNcdu(path, outFile, why)) return fail(why);
        return 0;
    }
    if (!outFile.empty())
        return fail("--out goes with --format ncdu; html and csv take --tree and --list");
    if (format != "html" && format != "csv") return fail("--format must be html, csv or ncdu");
    cols.Spreadsheet = format == "csv" && !plain;
    if (treeFile.empty() && listFile.empty())
        return fail("nothing to export: give --tree FILE and/or --list PATH FILE");
    std::string root;
    if (!ResolveMeasuredFolder(driveArg, root)) return 1;
    if (root.size() != 3) return fail(driveArg + " is no drive (give a letter such as C:)");
    DriveRecord* drive = OpenMeasuredDrive(root);
    if (!drive) return 1;
    GlobalState& g = Global();
    LoadCache(g.Folders, *drive);
    // A letter that holds a last measurement only: its list is the one the
    // window shows of it, from the cache and the file index.
    std::shared_ptr<const FileIndex> index;
    if (drive->Offline) {
        FillOfflineRecord(*drive, &g.Folders);
        if (g.Folders.Count() > 0) index = OpenFileIndex(root[0], std::string(g.Folders.LineAt(0)));
    }
    std::string listPath;
    if (!listFile.empty()) {
        if (!drive->Offline && !ResolveFolder(listArg, listPath)) return 1;
        if (drive->Offline && !ImportedFolder(listArg, listPath))
            return fail(listArg + " is no folder of the last measurement of " + root.substr(0, 2));
        if (listPath.compare(0, 3, root) != 0)
            return fail(listArg + " is not on drive " + root.substr(0, 2));
    }
    ExportContext ctx{g.ComputerName, drive->RootPath, ExportDateText(), g.SizeUnit};
    const bool html = format == "html";
    std::string why;
    if (!treeFile.empty()) {
        if (g.Folders.Count() == 0)
            std::fprintf(
                stderr,
                "norvessa-cli export: %s has not been measured; the tree holds no folders\n",
                root.substr(0, 2).c_str());
        if (!ExportTreeFile(treeFile, html, ctx, cols, g.Folders, &why))
            return fail("cannot write the tree to " + treeFile + ": " + why);
        PrintLine(ExportNativeName(treeFile));
    }
    if (!listFile.empty()) {
        FillResult shown;
        if (drive->Offline) {
            DirListing listing;
            ListSnapshot(listing, g.Folders, index.get(), listPath + "*.*", LIST_ALL);
            if (listing.Entries.empty() && g.Folders.IndexOfPath(listPath) < 0)
                return fail(listArg + " is no folder of the last measurement");
            shown = ShownRows(listPath, listing);
        } else {
            shown = ShownRows(listPath);
        }
        if (!ExportListFile(listFile, html, ctx, cols, shown.Rows, shown.PercentBaseValue, &why))
            return fail("cannot write the list to " + listFile + ": " + why);
        PrintLine(ExportNativeName(listFile));
    }
    return 0;
}

// Another analyzer's scan (ncdu's JSON export, gzip-compressed or not) as
// a drive letter of its own, with the cache and file index a measurement of
// that tree would have written.
int RunImport(const CommandLine& commandLine) {
    auto fail = [](const std::string& text) {
        std::fprintf(stderr, "norvessa-cli import: %s\n", text.c_str());
        return 1;
    };
    const std::string& file = commandLine.arguments[0];
    const std::string as = commandLine.LastValue("--as"), host = commandLine.LastValue("--host");
    const bool force = commandLine.Has("--force");
    if (as.empty()) return commandLine.UsageError("give the letter with --as X:");
    if (!(as.size() == 2 || (as.size() == 3 && as[2] == '\\')) || as[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(as[0])))
        return fail("--as takes a drive letter such as X:, not " + as);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(as[0])));
    LoadParameters({});
    platform::DetectDriveMap();
    const std::string& root = platform::DriveRoots()[static_cast<size_t>(letter - 'A')];
    if (!root.empty()) {
        if (!force)
            return fail(std::string(1, letter) + ": is a drive of this machine (" + root +
                        "); choose a free letter, or --force to give the letter up to the import");
    }
    platform::InputStream input;
    std::string why;
    if (!input.Open(file, &why))
        return fail((file == "-" ? std::string("standard input") : file) + ": " + why);
    NcduImportReport report;
    NcduImportOptions options;
    options.Host = host;
    options.Source = file;
    const NcduSource source = [&](char* buffer, size_t capacity, size_t& got, std::string& why) {
        return input.Read(buffer, capacity, got, &why);
    };
    if (!ImportNcdu(source, letter, options, report))
        return fail((file == "-" ? std::string("standard input") : file) + ": " + report.Error +
                    (report.CacheWritten ? "; " + std::string(1, letter) +
                                               ": holds the scan's folders but not all of the "
                                               "rest: import it again"
                                         : std::string("; nothing was written")));
    // An import has no folder on this machine: the letter must not lead there.
    if (!root.empty() && !platform::SetDriveMapEntry(letter - 'A', ""))
        std::fprintf(
            stderr, "norvessa-cli import: the drive map could not be written; %c: still names %s\n",
            letter, root.c_str());
    std::printf("%c:\\\nroot      %s\nfolders   %llu\nfiles     %llu\nbytes     %s\noccupied  %s\n",
                letter, platform::ShownName(report.Root).c_str(),
                static_cast<unsigned long long>(report.Folders),
                static_cast<unsigned long long>(report.Files), Number(report.Bytes).c_str(),
                Number(report.Occupied).c_str());
    if (!report.Unreadable.empty()) {
        MeasureReport unread;
        unread.Unreadable = report.Unreadable;
        std::printf("%s\n", UnreadableMessage(unread).c_str());
    }
    return 0;
}

} // namespace nrvs::cli
