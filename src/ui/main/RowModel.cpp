#include "ui/main/RowModel.h"
#include "ui/Locale.h"

#include "ui/main/ListCellDelegate.h"
#include "ui/main/Images.h"

#include "core/cache/Cache.h"
#include "core/GlobalState.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"

#include <cmath>

namespace nrvs {

namespace {
PreviousFigures& PreviousHeld() {
    static PreviousFigures held;
    return held;
}
} // namespace

void RowModel::SetRows(RowList rows) {
    beginResetModel();
    rows_ = std::move(rows);
    cachedRow_ = -1;
    parsed_ = 0;
    largestChange_ = -1;
    headerPath_ = rows_.empty() ? std::string() : SplitRow(rows_.front()).Caption;
    // Looked at once per fill: the rows are drawn many times in between.
    if (DigitAt(Global().ColumnFlags, 4) == 1) Previous();
    endResetModel();
}

const PreviousFigures& RowModel::Previous() {
    PreviousFigures& held = PreviousHeld();
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->RootPath.empty()) return held;
    const std::string header = CacheHeaderLine(*drive);
    if (held.Letter() != drive->RootPath[0] || held.CurrentHeader() != header)
        held.Load(drive->RootPath[0], header);
    return held;
}

QString RowModel::ChangeText(int row) const {
    if (DigitAt(Global().ColumnFlags, 4) != 1) return {};
    const RowFields& f = RowAt(row);
    const std::string folder = RowFolderPath(headerPath_, f.Image, f.Caption);
    double after = TextToFloat(f.Size, -1);
    // The header row of a drive root adds the space the system reserves,
    // which no measurement holds: the folder's own record says what it is.
    if (f.Image == IMG_HEADER) {
        const FolderRecord* own = Global().Folders.FindPath(folder);
        after = own ? own->TreeBytes : -1;
    }
    if (folder.empty() || after < 0) return {};
    FolderFigures before;
    if (!PreviousHeld().Find(folder, before)) return QStringLiteral("?");
    return QString::fromStdString(FloatText(after - before.Size) + "=" + FloatText(before.Size));
}

double RowModel::LargestChange() const {
    if (largestChange_ >= 0) return largestChange_;
    largestChange_ = 0;
    for (int row = 0; row < rowCount(); ++row) {
        const QString text = ChangeText(row);
        if (text.isEmpty() || text == QStringLiteral("?")) continue;
        const double change = std::fabs(TextToFloat(SplitNameValue(text.toStdString()).first, 0));
        if (change > largestChange_) largestChange_ = change;
    }
    return largestChange_;
}

const RowFields& RowModel::RowAt(int row) const {
    if (row != cachedRow_) {
        cachedRow_ = row;
        cached_ = row >= 0 && row < static_cast<int>(rows_.size())
                      ? SplitRow(rows_[static_cast<size_t>(row)])
                      : RowFields{};
        ++parsed_;
    }
    return cached_;
}

void RowModel::SetSortImages(int column0, int column3) {
    if (column0 == sortImage0_ && column3 == sortImage3_) return;
    sortImage0_ = column0;
    sortImage3_ = column3;
    emit headerDataChanged(Qt::Horizontal, 0, 3);
}

int RowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 7;
}

QVariant RowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const RowFields& f = RowAt(index.row());
    if (role == kImageRole) return f.Image;
    const int c = index.column();
    if (role == Qt::DisplayRole) {
        switch (c) {
        case 0:
            return ShownText(f.Caption);
        case 1:
            return QString::fromStdString(f.Size);
        case 2:
            return QString::fromStdString(f.Occupied);
        case 3:
            return QString::fromStdString(f.Graph);
        case 4:
            return QString::fromStdString(f.Files);
        case 5:
            return QString::fromStdString(f.Folders);
        case 6:
            return ChangeText(index.row());
        default:
            return {};
        }
    }
    if (role == Qt::DecorationRole && c == 0 && f.Image >= 0) return ImageIcon(f.Image);
    return {};
}

QVariant RowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    static const char* const captions[] = {"フォルダ／ファイル", "容量",       "占有量", "グラフ",
                                           "ファイル数",         "フォルダ数", "増減"};
    if (role == Qt::DisplayRole && section >= 0 && section < 7)
        return QString::fromUtf8(captions[section]);
    if (role == Qt::DecorationRole && section == 0) return ImageIcon(sortImage0_);
    if (role == Qt::DecorationRole && section == 3) return ImageIcon(sortImage3_);
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags RowModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Blank rows cannot be selected.
    return RowAt(index.row()).Image > 0 ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                        : Qt::ItemIsEnabled;
}

} // namespace nrvs
