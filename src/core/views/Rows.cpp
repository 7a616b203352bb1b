#include "core/views/Rows.h"

#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "platform/Paths.h"

#include <algorithm>
#include <numeric>

namespace nrvs {

const char* const kFolderTotalCaption = "総計 - フォルダ -";
const char* const kFileTotalCaption = "総計 - ファイル -";
const char* const kReservedCaption = "予約 - Windows -";

RowFields SplitRow(const std::string& row) {
    RowFields f;
    std::string* dest[] = {nullptr,  &f.Caption, &f.Size,   &f.Occupied,
                           &f.Graph, &f.Files,   &f.Folders};
    size_t start = 0;
    for (int i = 0; i < 7; ++i) {
        size_t tab = row.find('\t', start);
        std::string field =
            row.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (i == 0) {
            int v;
            f.Image = ParseInt(field, v) ? v : -1;
        } else {
            *dest[i] = std::move(field);
        }
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return f;
}

std::string MakeRow(int image, const std::string& caption, double size, double occupied,
                    int64_t directFiles, int64_t subtreeFiles, int64_t directFolders,
                    int64_t subtreeFolders, const std::string& columnFlags) {
    std::string r = std::to_string(image);
    r += '\t';
    // A tab would shift every later field of the row.
    for (char c : caption) {
        if (c == '\t')
            r += "\xE2\x90\x89"; // U+2409, as names show control characters
        else
            r += c;
    }
    r += '\t';
    r += FloatText(size);
    r += '\t';
    r += FloatText(occupied);
    r += '\t';
    r += FloatText(DigitAt(columnFlags, 1) != 0 ? occupied : size);
    r += '\t';
    r += std::to_string(directFiles) + "=" + std::to_string(subtreeFiles);
    r += '\t';
    r += std::to_string(directFolders) + "=" + std::to_string(subtreeFolders);
    return r;
}

void AddRow(RowList& rows, int position, const std::string& row) {
    if (position < 0) position = 0;
    if (static_cast<size_t>(position) >= rows.size())
        rows.push_back(row);
    else
        rows.insert(rows.begin() + position, row);
}

namespace {
// Sizes read from a damaged cache can be as large as a double holds; their sum
// stops at a limit instead of becoming infinite (and the differences taken
// from it not-a-number). The limit is one that its 15-digit text reads back:
// the largest double's text would round above the range.
constexpr double kSizeLimit = 1e308;
void AddSize(double& sum, double value) {
    sum = std::clamp(sum + value, -kSizeLimit, kSizeLimit);
}

struct RowKey {
    int image;
    std::string name;
    double value;
};

RowKey KeyOf(const std::string& row, const SortOrder& order) {
    RowFields f = SplitRow(row);
    bool occupied = DigitAt(order.ColumnFlags, 1) != 0;
    return {f.Image, platform::UpperText(f.Caption),
            TextToFloat(occupied ? f.Occupied : f.Size, -1)};
}

int CompareKeys(const RowKey& a, const RowKey& b, const SortOrder& order) {
    int d = a.image - b.image;
    if (d != 0) return d;
    bool byValue = order.SortKey == 1 && a.value != b.value;
    if (!byValue) {
        int c = a.name.compare(b.name); // unsigned bytes, a proper prefix first
        d = order.SortDescending ? (c < 0) - (c > 0) : (c > 0) - (c < 0);
    }
    if (d == 0 && (a.value == -1) != (b.value == -1)) d = a.value == -1 ? 1 : -1;
    if (d == 0 && byValue)
        d = order.SortDescending ? (a.value < b.value) - (a.value > b.value)
                                 : (a.value > b.value) - (a.value < b.value);
    return d;
}
} // namespace

int CompareRows(const std::string& a, const std::string& b, const SortOrder& order) {
    return CompareKeys(KeyOf(a, order), KeyOf(b, order), order);
}

void SortRows(RowList& rows, const SortOrder& order) {
    std::vector<RowKey> keys;
    keys.reserve(rows.size());
    for (const auto& r : rows)
        keys.push_back(KeyOf(r, order));
    std::vector<size_t> idx(rows.size());
    std::iota(idx.begin(), idx.end(), 0);
    std::stable_sort(idx.begin(), idx.end(),
                     [&](size_t x, size_t y) { return CompareKeys(keys[x], keys[y], order) < 0; });
    RowList sorted;
    sorted.reserve(rows.size());
    for (size_t i : idx)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

RootFigures FiguresOfRoot(bool volumeRoot, double totalBytes, double freeBytes,
                          double measuredOccupied) {
    RootFigures f;
    f.VolumeRoot = volumeRoot;
    if (!volumeRoot) {
        f.Used = f.Capacity = measuredOccupied < 0 ? -1 : measuredOccupied;
        return f;
    }
    f.Used = totalBytes - freeBytes;
    f.Capacity = totalBytes;
    f.Reserved = f.Used - std::max(measuredOccupied, 0.0);
    return f;
}

RootFigures FiguresOfRoot(const DriveRecord& drive, double measuredOccupied) {
    return FiguresOfRoot(drive.FolderVolume.empty(), drive.TotalBytes, drive.FreeBytes,
                         measuredOccupied);
}

FillResult BuildRows(const FillInput& in, FolderList& folders, double previousPercentBase) {
    FillResult out;
    RowList& rows = out.Rows;
    const std::string& flags = in.Order.ColumnFlags;
    double allSize = 0, allOccupied = 0, fileSize = 0, fileOccupied = 0;
    // A damaged cache may hold any count up to INT_MAX in every line; the sums
    // of a folder with many such lines need the wider type.
    int64_t subtreeFiles = 0, subtreeFolders = 0;
    int folderRows = 0, fileRows = 0, folderCount = 0, fileCount = 0;
    // A subfolder without a measurement makes every figure that would
    // include it unknown: the folder's, the folder total's, the reserved
    // space's. Showing the sum of the rest would claim a size nobody knows.
    bool unknown = false;
    const bool files = in.WantFiles && in.ShowFiles;
    if (in.Entries) {
        rows.reserve(in.Entries->size());
        for (const auto& line : *in.Entries) {
            DirEntry e = ParseEntry(line);
            FolderRecord r = EntryRecord(in.Path, e, folders);
            AddSize(allSize, std::max(r.TreeBytes, 0.0));
            AddSize(allOccupied, std::max(r.TreeOccupied, 0.0));
            if (e.IsDir) {
                std::string name = e.Name;
                if (!name.empty() && name.back() == '\\') name.pop_back();
                if (in.WantFolders) {
                    rows.push_back(MakeRow(IMG_FOLDER, name, r.TreeBytes, r.TreeOccupied,
                                           r.OwnFiles, r.TreeFiles, r.OwnFolders, r.TreeFolders,
                                           flags));
                    ++folderRows;
                }
                if (r.OwnFolders >= 0) {
                    subtreeFolders += std::max(r.TreeFolders, 0);
                    subtreeFiles += std::max(r.TreeFiles, 0);
                }
                if (r.TreeOccupied < 0 || r.OwnFolders < 0) unknown = true;
                ++folderCount;
            } else {
                if (files) {
                    rows.push_back(MakeRow(IMG_FILE, e.Name, r.TreeBytes, r.TreeOccupied, -1, -1,
                                           -1, -1, flags));
                    ++fileRows;
                }
                AddSize(fileSize, r.TreeBytes);
                AddSize(fileOccupied, r.TreeOccupied);
                ++fileCount;
            }
        }
    }
    subtreeFolders += in.ListedFolders;
    subtreeFiles += in.ListedFiles;
    const FolderRecord* root = folders.FindPath(in.RootPath);
    const double rootOccupied = root ? root->TreeOccupied : 0;
    double reserved = 0;
    const bool atRoot = in.Path.size() == 3;
    const bool reservedRow = atRoot && in.VolumeRoot;
    if (reservedRow) {
        reserved = FiguresOfRoot(true, in.TotalBytes, in.FreeBytes, allOccupied).Reserved;
        allSize += reserved;
        allOccupied += reserved;
    }
    const RootFigures drive =
        FiguresOfRoot(in.VolumeRoot, in.TotalBytes, in.FreeBytes, rootOccupied);
    switch (in.PercentBase) {
    case 0:
        out.PercentBaseValue = allOccupied;
        break;
    case 1:
        out.PercentBaseValue = rootOccupied;
        break;
    case 2:
        out.PercentBaseValue = drive.Used;
        break;
    case 3:
        out.PercentBaseValue = drive.Capacity;
        break;
    default:
        out.PercentBaseValue = previousPercentBase;
        break;
    }
    SortRows(rows, in.Order);
    const std::string blank = MakeRow(IMG_BLANK, "", -1, -1, -1, -1, -1, -1, flags);
    if (reservedRow) {
        const double shown = unknown ? -1 : reserved;
        AddRow(rows, folderRows + fileRows,
               MakeRow(IMG_RESERVED, kReservedCaption, shown, shown, -1, -1, -1, -1, flags));
        AddRow(rows, folderRows + fileRows, blank);
    }
    if (fileCount > 0) {
        AddRow(rows, folderRows,
               MakeRow(IMG_FILE_TOTAL, kFileTotalCaption, fileSize, fileOccupied, -1, -1, -1, -1,
                       flags));
        AddRow(rows, folderRows, blank);
    }
    if (folderCount > 0) {
        AddRow(rows, 0,
               MakeRow(IMG_FOLDER_TOTAL, kFolderTotalCaption,
                       unknown ? -1 : allSize - fileSize - reserved,
                       unknown ? -1 : allOccupied - fileOccupied - reserved, -1, -1, -1, -1,
                       flags));
        AddRow(rows, 0, blank);
    }
    AddRow(rows, 0,
           MakeRow(IMG_HEADER, in.Path, unknown ? -1 : allSize, unknown ? -1 : allOccupied,
                   in.ListedFiles, unknown ? kUnknownCount : subtreeFiles, in.ListedFolders,
                   unknown ? kUnknownCount : subtreeFolders, flags));
    out.DisplayComplete = in.WantFolders && in.WantFiles;
    return out;
}

bool RowsShowUnmeasured(const RowList& rows) {
    for (const auto& r : rows) {
        RowFields f = SplitRow(r);
        if (f.Image >= 0 && f.Occupied == "-1") return true;
    }
    return false;
}

namespace {
// The characters a count cell takes, in half-width characters. Below an
// unmeasured subfolder ("n=-2") the cell shows "n / 未計測": the grouped count,
// the slash between spaces and three wide characters, not the stored "-2".
size_t CountCellLength(const std::string& field) {
    const auto [direct, subtree] = SplitNameValue(field);
    if (subtree != "-2") return field.size();
    return GroupedNumber(TextToFloat(direct, 0), 0).size() + 3 + 6;
}
} // namespace

std::array<int, 6> ColumnWidths(const RowList& rows, int p, int sizeUnit, const std::string& flags,
                                int nameWidth, int graphWidth) {
    size_t files = 9, folders = 7;
    for (const auto& r : rows) {
        RowFields f = SplitRow(r);
        if (f.Image == IMG_FILE_TOTAL) break;
        files = std::max(files, CountCellLength(f.Files));
        folders = std::max(folders, CountCellLength(f.Folders));
    }
    static const int kSizeWidth[] = {70, 110, 110, 90, 70, 70};
    const int unit = sizeUnit >= 0 && sizeUnit <= 5 ? sizeUnit : 0;
    const int sizeW = p * kSizeWidth[unit] / 9;
    std::array<int, 6> w = {nameWidth > 0 ? nameWidth : 150,
                            sizeW,
                            sizeW,
                            graphWidth > 0 ? graphWidth : 200,
                            p * static_cast<int>(files + 2),
                            p * static_cast<int>(folders + 2)};
    if (DigitAt(flags, 0) == 0) w[1] = 0;
    if (DigitAt(flags, 1) == 0) w[2] = 0;
    if (DigitAt(flags, 2) == 0) w[4] = 0;
    if (DigitAt(flags, 3) == 0) w[5] = 0;
    return w;
}

std::string DeleteWhereText(bool toTrash, int64_t folders, int64_t files, double bytes) {
    std::string text = toTrash ? "ごみ箱へ移動します。" : "完全に削除します。";
    if (folders < 0) {
        text += "（ファイル 1 個、" + FormatSizeText(bytes, 0) + "）";
    } else if (files < 0 || bytes < 0) {
        text += "（フォルダの中身は未計測）";
    } else {
        text += "（フォルダ " + GroupedNumber(static_cast<double>(folders), 0) + " 個、ファイル " +
                GroupedNumber(static_cast<double>(files), 0) + " 個、" + FormatSizeText(bytes, 0) +
                "）";
    }
    return text;
}

std::string RowFolderPath(const std::string& headerCaption, int image, const std::string& caption) {
    if (image == IMG_HEADER) return caption;
    if (image == IMG_FOLDER) return headerCaption + caption + "\\";
    return {};
}

std::string CountTip(const std::string& caption, const std::string& countText, bool files) {
    auto [a, b] = SplitNameValue(countText);
    if (a.empty() || a == "-1") return {};
    auto count = [](const std::string& v) {
        return v == "-2" ? std::string("未計測") : GroupedNumber(TextToFloat(v, 0), 0);
    };
    std::string tip =
        std::string(files ? "ファイル数" : "フォルダ数") + "\n" + caption + " >> 直下 " + count(a);
    if (b != "-1" && !b.empty()) tip += " / 全体 " + count(b);
    // Counts are of names, as a folder listing shows them; the sizes count
    // a file with several names once.
    if (files)
        tip += "\n複数の名前（ハードリンク）を持つファイルは名前ごとに数えます。容量は一度だけ数え"
               "ます。";
    return tip;
}

std::string InfoTip(const std::string& caption, const std::string& sizeText,
                    const std::string& occupiedText, bool unreadable) {
    if (unreadable)
        return "読み取れなかったフォルダ\n" + caption +
               " >> アクセスできないため、中身は計測されていません";
    // A row of a folder without a measurement (its figures are "-1").
    if (sizeText == "-1" && occupiedText == "-1" && !caption.empty())
        return "クラスタギャップ\n" + caption + " >> 未計測";
    double size = TextToFloat(sizeText, -1);
    double occupied = TextToFloat(occupiedText, -1);
    // Without a known occupied size the difference would be a meaningless
    // negative number, so such a row gets no tip either.
    if (size < 0 || occupied < 0) return {};
    return "クラスタギャップ\n" + caption + " >> " + GroupedNumber(occupied - size, 0) + " bytes";
}

} // namespace nrvs
