#include "core/Simulate.h"

#include "core/Utglobal.h"
#include "lib/Sdirlist.h"
#include "lib/Slib.h"

#include <charconv>
#include <climits>
#include <string_view>
#include <unordered_map>

namespace nrvs {

namespace {
constexpr int kImageClusterSize = 42;
constexpr int kImageFreeSpace = 43;
} // namespace

std::vector<SimRow> BuildSimRows(const RowList& mainRows, const DriveRecord& current, bool showFiles) {
    std::vector<SimRow> rows;
    RowFields first = mainRows.empty() ? RowFields{} : SplitRow(mainRows[0]);
    rows.push_back({first.Image, first.Caption, first.Occupied, ""});
    rows.push_back({kImageClusterSize, "クラスタサイズ", FloatText(current.ClusterSize), ""});
    rows.push_back({kImageFreeSpace, "空き容量", FloatText(current.FreeBytes), ""});
    rows.push_back({-1, "", "", ""});
    for (size_t i = 2; i < mainRows.size(); ++i) {
        RowFields f = SplitRow(mainRows[i]);
        if (f.Image == IMG_FOLDER_TOTAL) continue;
        if (f.Image == IMG_FILE_TOTAL && showFiles) continue;
        rows.push_back({f.Image, f.Caption, f.Occupied, ""});
    }
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
    while (b < e && *b == ' ') ++b;
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

SimSums SimulateFolder(const std::string& programPath, uint32_t cluster, MeasureHooks& hooks) {
    if (hooks.StopRequested()) return {};
    FolderList scratch;
    MeasureOptions options;
    options.NominalSizes = true;
    options.CountLinksOnce = Global().CountLinksOnce != 0;
    FolderRecord r = MeasureTree(scratch, programPath, cluster, 0, hooks, options);
    return {r.TreeBytes, r.TreeOccupied};
}

void RunSimulation(std::vector<SimRow>& rows, uint32_t cluster, double targetFree, bool showFiles,
                   MeasureHooks& hooks) {
    if (rows.size() < 4) return;
    rows[1].After = FloatText(cluster);
    if (targetFree >= 0) rows[2].After = FloatText(targetFree);
    const std::string base = rows[0].Caption;
    double total = 0;
    for (size_t i = 4; i < rows.size(); ++i) {
        hooks.ProcessMessages();
        if (hooks.StopRequested() || rows[i].Image != IMG_FOLDER) break;
        SimSums s = SimulateFolder(base + rows[i].Caption + "\\", cluster, hooks);
        rows[i].After = FloatText(s.Occupied);
        total += s.Occupied;
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
        if (auto it = fileRows.find(e->Name); it != fileRows.end()) rows[it->second].After = FloatText(occupied);
        total += occupied;
        files += occupied;
    }
    rows[0].After = FloatText(total);
    if (!showFiles)
        for (auto& r : rows)
            if (r.Image == IMG_FILE_TOTAL) r.After = FloatText(files);
}

} // namespace nrvs
