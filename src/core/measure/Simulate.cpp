#include "core/measure/Simulate.h"

#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/NumberText.h"

#include "platform/FolderEntries.h"
#include "platform/Paths.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string_view>
#include <unordered_map>

namespace nrvs {

namespace {
constexpr int kImageClusterSize = 42;
constexpr int kImageFreeSpace = 43;
} // namespace

std::vector<SimRow> BuildSimRows(const RowList& mainRows, const DriveRecord& current,
                                 bool showFiles) {
    std::vector<SimRow> rows;
    RowFields first = mainRows.empty() ? RowFields{} : SplitRow(mainRows[0]);
    rows.push_back({first.Image, first.Caption, "", ""});
    rows.push_back({kImageClusterSize, "クラスタサイズ", FloatText(current.ClusterSize), ""});
    rows.push_back({kImageFreeSpace, "空き容量", FloatText(current.FreeBytes), ""});
    rows.push_back({-1, "", "", ""});
    // The total's "now" covers what is simulated: the folders and files
    // below, never the space reserved at a drive's root (the file system's
    // own, which no cluster size changes). Unknown when any part is.
    double now = 0;
    bool known = true;
    for (size_t i = 2; i < mainRows.size(); ++i) {
        RowFields f = SplitRow(mainRows[i]);
        if (f.Image == IMG_FOLDER_TOTAL || f.Image == IMG_RESERVED) continue;
        if (f.Image == IMG_FILE_TOTAL && showFiles) continue;
        rows.push_back({f.Image, f.Caption, f.Occupied, ""});
        if (f.Image == IMG_FOLDER || f.Image == IMG_FILE || f.Image == IMG_FILE_TOTAL) {
            const double v = TextToFloat(f.Occupied, -1);
            if (v < 0)
                known = false;
            else
                now += v;
        }
    }
    if (known) rows[0].Before = FloatText(now);
    return rows;
}

void MarkUnknown(std::vector<SimRow>& rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (i != 3) rows[i].After = "?";
}

bool ParseClusterSize(const std::string& text, uint32_t& cluster, std::string& why) {
    long long v = 0;
    const char* b = text.data();
    const char* e = b + text.size();
    while (b < e && *b == ' ')
        ++b;
    auto [end, ec] = std::from_chars(b, e, v);
    if (ec == std::errc::result_out_of_range) {
        why = "クラスタサイズが大きすぎます。";
        return false;
    }
    // Not a number at all counts as one byte per cluster.
    if (ec != std::errc() || end == b) v = 1;
    if (v < 1) {
        why = "クラスタサイズには 1 以上の数を指定してください。";
        return false;
    }
    // The last target is kept negated in a 32-bit setting.
    if (v > INT_MAX) {
        why = "クラスタサイズが大きすぎます。";
        return false;
    }
    cluster = static_cast<uint32_t>(v);
    return true;
}

SimSums SimulateFolder(const std::string& programPath, uint32_t cluster, MeasureHooks& hooks,
                       std::vector<LinkedName>* linked) {
    if (hooks.StopRequested()) return {};
    FolderList scratch;
    MeasureOptions options;
    options.NominalSizes = true;
    options.CountLinksOnce = Global().CountLinksOnce != 0;
    options.LinkedNames = options.CountLinksOnce ? linked : nullptr;
    FolderRecord r = MeasureTree(scratch, programPath, cluster, 0, hooks, options);
    return {r.TreeBytes, r.TreeOccupied};
}

namespace {
// The names of files with several names among the shown folder's own files:
// the listing counted each of them; the measurement counts a file once.
void OwnLinkedNames(const std::string& base, const DirListing& listing,
                    std::vector<LinkedName>& out) {
    std::unordered_map<std::string, double> occupiedOf;
    for (const auto& line : listing.Entries) {
        DirEntry e = ParseEntry(line);
        if (!e.IsDir) occupiedOf.emplace(e.Name, e.Occupied > 0 ? e.Occupied : 0);
    }
    platform::Folder dir = platform::Folder::Open(platform::ToNative(base));
    platform::FolderReader reader(dir, true);
    platform::FindData d;
    while (reader.Next(d)) {
        if (d.Links <= 1 || (d.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) continue;
        auto it = occupiedOf.find(platform::ShownName(d.Name));
        if (it != occupiedOf.end())
            out.push_back({d.Device, d.Inode, base, static_cast<double>(d.Size), it->second});
    }
}
} // namespace

void RunSimulation(std::vector<SimRow>& rows, uint32_t cluster, double targetFree, bool showFiles,
                   MeasureHooks& hooks) {
    if (rows.size() < 4) return;
    rows[1].After = FloatText(cluster);
    if (targetFree >= 0) rows[2].After = FloatText(targetFree);
    const std::string base = rows[0].Caption;
    const bool once = Global().CountLinksOnce != 0;
    // A file with several names is counted once across all rows, as the
    // measurement counts it: in the folder whose program path sorts first
    // among those holding a name (the shown folder before its subfolders).
    std::vector<LinkedName> linked;
    std::vector<size_t> linkedRow; // rows index of each name; 0 for the shown folder's own files
    std::vector<double> sums(rows.size(), -1);
    for (size_t i = 4; i < rows.size(); ++i) {
        hooks.ProcessMessages();
        if (hooks.StopRequested() || rows[i].Image != IMG_FOLDER) break;
        SimSums s = SimulateFolder(base + rows[i].Caption + "\\", cluster, hooks, &linked);
        sums[i] = s.Occupied;
        linkedRow.resize(linked.size(), i);
    }
    // The shown folder's own files, also after STOP.
    DirListing listing;
    listing.ClusterSize = static_cast<int32_t>(cluster);
    ListFolder(listing, base + "*.*", LIST_FILES);
    double files = 0;
    std::unordered_map<std::string_view, size_t> fileRows;
    if (showFiles)
        for (size_t k = 4; k < rows.size(); ++k)
            if (rows[k].Image == IMG_FILE) fileRows.emplace(rows[k].Caption, k);
    for (int i = 0; i < static_cast<int>(listing.Entries.size()); ++i) {
        const DirEntry* e = EntryAt(listing, i);
        if (!e) continue;
        const double occupied = e->Occupied > 0 ? e->Occupied : 0;
        if (auto it = fileRows.find(e->Name); it != fileRows.end())
            rows[it->second].After = FloatText(occupied);
        files += occupied;
    }
    if (once) {
        const size_t before = linked.size();
        OwnLinkedNames(base, listing, linked);
        // Taken out of the listing's sum; the one counted name goes back in below.
        for (size_t k = before; k < linked.size(); ++k)
            files -= linked[k].Occupied;
        linkedRow.resize(linked.size(), 0);
    }
    std::vector<size_t> order(linked.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const LinkedName &x = linked[a], &y = linked[b];
        if (x.Device != y.Device) return x.Device < y.Device;
        if (x.Inode != y.Inode) return x.Inode < y.Inode;
        return x.Folder < y.Folder;
    });
    for (size_t k = 0; k < order.size();) {
        size_t j = k + 1;
        while (j < order.size() && linked[order[j]].Device == linked[order[k]].Device &&
               linked[order[j]].Inode == linked[order[k]].Inode)
            ++j;
        const size_t owner = order[k]; // the first folder in byte order
        if (linkedRow[owner] == 0)
            files += linked[owner].Occupied;
        else
            sums[linkedRow[owner]] += linked[owner].Occupied;
        k = j;
    }
    double total = files;
    for (size_t i = 4; i < rows.size(); ++i) {
        if (sums[i] < 0) continue;
        rows[i].After = FloatText(sums[i]);
        total += sums[i];
    }
    rows[0].After = FloatText(total);
    if (!showFiles)
        for (auto& r : rows)
            if (r.Image == IMG_FILE_TOTAL) r.After = FloatText(files);
}

} // namespace nrvs
