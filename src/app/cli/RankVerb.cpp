// The rank verb: the ranking window's list of a drive's largest folders.

#include "app/cli/DriveAccess.h"
#include "app/cli/Printing.h"
#include "app/cli/Verbs.h"

#include "core/cache/Cache.h"
#include "core/drives/DriveTable.h"
#include "core/views/Rank.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nrvs::cli {

// The window's ranking of a drive from its cache file. Options not given
// come from the drive's ranking file, as the window would show them.
int RunRank(const CommandLine& commandLine) {
    const std::string& target = commandLine.arguments[0];
    int by = -1, top = 0;
    std::string filters;
    std::vector<RankExclusion> exclusions;
    bool exclusionsGiven = false;
    for (const GivenOption& o : commandLine.options) {
        const std::string& a = o.name;
        const std::string& value = o.values[0];
        int v = 0;
        if (a == "--by") {
            if (!ParseInt(value, v) || v < 0 || v >= kRankKeys)
                return commandLine.UsageError("--by takes a key from 0 to 8, not " + value);
            by = v;
        } else if (a == "--top") {
            if (!ParseInt(value, v) || v <= 0)
                return commandLine.UsageError("--top takes a positive number, not " + value);
            top = v;
        } else if (a == "--filters") {
            filters = value;
            if (filters.size() != 5 || filters.find_first_not_of("01") != std::string::npos)
                return commandLine.UsageError(
                    "--filters takes five 0/1 marks (archive, hidden, read-only, system, no own "
                    "files), not " +
                    filters);
        } else { // --exclude, --exclude-tree
            std::string path;
            if (!ResolveMeasuredFolder(value, path)) return 1;
            exclusions.push_back({path, a == "--exclude-tree"});
            exclusionsGiven = true;
        }
    }
    std::string path;
    // A letter with a last measurement is ranked as any measured drive.
    if (!ResolveMeasuredFolder(target, path)) return 1;
    DriveRecord record;
    FolderList list;
    if (!LoadMeasuredCache(path, record, list)) return 1;
    const RankSettings saved = LoadRankSettings(RankFileName(path[0]));
    RankOptions options;
    options.SortKey = by >= 0 ? by : saved.SortIndex;
    options.Filters = filters.empty() ? saved.Filters : filters;
    options.Exclusions = exclusionsGiven ? exclusions : saved.Exclusions;
    const int n = top > 0 ? top : RankRowCount(RankCountText(saved.CountIndex));

    RankList ranking;
    RankHooks quiet;
    ranking.Compute(list, options, quiet, static_cast<size_t>(std::max(n, 0)));
    std::string out;
    for (int k = 0; k < n && k < ranking.Count(); ++k) {
        FolderRecord r = ranking.RecordAt(k);
        out = RankCaption(k, n, r.Path);
        for (double v : {r.TreeBytes, r.TreeOccupied, r.TreeOccupied - r.TreeBytes, r.OwnBytes,
                         r.OwnOccupied}) {
            out += '\t';
            out += Number(v);
        }
        for (int32_t v : {r.OwnFiles, r.TreeFiles, r.OwnFolders, r.TreeFolders}) {
            out += '\t';
            out += std::to_string(v);
        }
        PrintLine(out);
    }
    return 0;
}

} // namespace nrvs::cli
