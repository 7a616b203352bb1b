// The changes verb: what changed between a drive's previous and current
// measurements.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/Verbs.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/history/Changes.h"
#include "core/index/FileIndex.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace nrvs::cli {

// What changed between the drive's previous and current measurements: the
// folders from the two caches, or the files from their two indexes.
int RunChanges(const CommandLine& commandLine) {
    auto fail = [](const std::string& text, int status = 1) {
        std::fprintf(stderr, "norvessa-cli changes: %s\n", text.c_str());
        return status;
    };
    const std::string& target = commandLine.arguments[0];
    size_t top = 0;
    ChangeKey key = CHANGE_KEY_SIZE;
    bool files = false;
    for (const GivenOption& o : commandLine.options) {
        const std::string& a = o.name;
        int n = 0;
        if (a == "--top") {
            if (!ParseInt(o.values[0], n) || n < 1)
                return fail("--top takes a positive whole number, not " + o.values[0]);
            top = static_cast<size_t>(n);
        } else if (a == "--by") {
            const std::string& k = o.values[0];
            if (k == "size")
                key = CHANGE_KEY_SIZE;
            else if (k == "occupied")
                key = CHANGE_KEY_OCCUPIED;
            else if (k == "files")
                key = CHANGE_KEY_FILES;
            else
                return fail("--by takes size, occupied or files, not " + k);
        } else if (a == "--files") {
            files = true;
        }
    }
    if (files && key != CHANGE_KEY_SIZE) return fail("--files ranks by size only");
    std::string path;
    // A folder that is gone may still be asked about: it was there before.
    if (!ResolveMeasuredFolder(target, path)) return 1;
    LoadParameters({});
    const char letter = path[0];
    DriveRecord record;
    record.Index = letter - 'A';
    record.RootPath = path.substr(0, 3);
    Measurement current, previous;
    std::time_t stamped = 0;
    // The files' changes need of the current cache its header alone.
    if (!current.Map(CacheFileName(record), !files) || !HeaderStart(current.Header(), stamped))
        return fail(std::string(1, letter) + ": has not been measured (" + CacheFileName(record) +
                    ")");
    PreviousFault fault;
    switch (LoadPrevious(letter, current.Header(), previous, &fault)) {
    case PREVIOUS_OK:
        break;
    case PREVIOUS_NONE:
        return fail(
            std::string(1, letter) + ": has no previous measurement" +
            (Global().KeepPrevious
                 ? " (one is kept when a measurement replaces the cache: measure the drive again)"
                 : " (keeping it is switched off in the settings)"));
    case PREVIOUS_DAMAGED:
        return fail("the previous measurement of " + std::string(1, letter) + ": is damaged (" +
                    (fault.Line ? "line " + std::to_string(fault.Line) + ": " : std::string()) +
                    fault.Text + ")");
    case PREVIOUS_OTHER_DRIVE:
        return fail("the previous measurement of " + std::string(1, letter) +
                    ": is of another drive (" +
                    (fault.Line ? "line " + std::to_string(fault.Line) + ": " : std::string()) +
                    fault.Text + ")");
    }
    const std::string below = path.size() > 3 ? path : std::string();
    if (files) {
        FileIndex before, after;
        std::string why;
        if (!before.Open(PreviousIndexName(letter), letter, previous.Header(), &why))
            return fail("the previous measurement has no file index: " + why);
        if (!after.Open(FileIndexName(letter), letter, current.Header(), &why))
            return fail("the current measurement has no file index: " + why);
        const std::vector<FileChange> changed = CompareFileIndexes(before, after, below, top);
        if (!before.Intact() || !after.Intact())
            return fail(std::string(!before.Intact() ? "the previous" : "the current") +
                        " measurement's file index: " + FileIndex::CutShortText());
        for (const FileChange& c : changed)
            PrintLine(c.Path + "\t" + (c.Before ? std::to_string(c.OldSize) : std::string()) +
                      "\t" + (c.After ? std::to_string(c.NewSize) : std::string()));
        return 0;
    }
    std::vector<FolderChange> changes = CompareMeasurements(previous, current, below);
    RankChanges(changes, key, CHANGE_ALL, top);
    auto field = [](bool there, double v) { return there ? Number(v) : std::string(); };
    for (const FolderChange& c : changes) {
        std::string line(c.Path);
        for (const auto& [there, v] : {std::pair{c.Before, c.Old.Size},
                                       {c.After, c.New.Size},
                                       {c.Before, c.Old.Occupied},
                                       {c.After, c.New.Occupied},
                                       {c.Before, static_cast<double>(c.Old.Files)},
                                       {c.After, static_cast<double>(c.New.Files)}}) {
            line += '\t';
            line += field(there, v);
        }
        PrintLine(line);
    }
    return 0;
}

} // namespace nrvs::cli
