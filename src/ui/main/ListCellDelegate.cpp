#include "ui/main/ListCellDelegate.h"
#include "ui/WindowLayout.h"
#include "ui/Locale.h"

#include "core/history/Changes.h"
#include "core/measure/Measure.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/BarColours.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "ui/main/RowModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace nrvs {

namespace {

QString FromUtf8(const std::string& s) {
    return ShownText(s);
}

double CellValue(const QString& text) {
    return TextToFloat(text.toStdString(), -1);
}

// Count texts use thousands separators without decimals; unreadable text counts as 0.
QString CountText(const QString& text) {
    return FromUtf8(GroupedNumber(TextToFloat(text.toStdString(), 0), 0));
}

void LayoutSize(CellLayout& out, double value, int left, int right, int points,
                const QFontMetrics& fm, int sizeUnit) {
    const SizeText size = FormatSize(value, sizeUnit);
    QString number = FromUtf8(size.Number);
    const QString unit = FromUtf8(size.Unit);
    const int unitX = right - 2 * points - 4;
    int numX = unitX - fm.horizontalAdvance(number) - 4;
    if (numX < left) {
        numX = left + 3;
        number = QStringLiteral("---");
    }
    if (value < 0) numX = right - fm.horizontalAdvance(number) - 10;
    out.Texts.push_back({number, numX});
    out.Texts.push_back({unit, unitX});
}

void LayoutGraph(CellLayout& out, double value, int image, int left, int top, int right, int bottom,
                 const QFontMetrics& fm, double percentBase) {
    if (value < 0) return;
    const double base = percentBase > 0 ? percentBase : 1.0;
    double ratio = value / base;
    const QString percent = QString::number(ratio * 100.0, 'f', 1) + QStringLiteral(" %");
    const int textX = right - fm.horizontalAdvance(percent) - 4;
    out.Texts.push_back({percent, textX});
    if (ratio >= 1) ratio = 1;

    const int barX = left + 2;
    // Room is kept for "100.0 %"; a share of 1000 % and more is wider, and
    // its bar ends the same 6 pixels before the text instead of running under it.
    const int barW = std::min(right - 12 - fm.horizontalAdvance(QStringLiteral("100.0 %")) - left,
                              textX - 6 - barX);
    const int barH = bottom - top - 9;
    // A column narrower than the widest percentage, or a row too low, leaves
    // no room for a bar; drawing one would turn its frame inside out.
    if (barW <= 0 || barH <= 0) return;
    out.Bar = true;
    out.BarX = barX;
    out.BarW = barW;
    out.BarH = barH;
    out.BarY = top + (bottom - top - barH) / 2 - 1;
    if (ratio >= 0.001) {
        out.Fill = true;
        out.FillRight = static_cast<int>(std::trunc(barX + ratio * barW + 1));
        out.FillColour = RowBarColour(image);
    }
}

void LayoutCounts(CellLayout& out, const QString& text, int left, int right,
                  const QFontMetrics& fm) {
    const auto [leftRaw, rightRaw] = SplitNameValue(text.toStdString());
    if (leftRaw == "-1") return;
    const QString direct = CountText(FromUtf8(leftRaw));
    const int barX = left + 2;
    const int barW = right - left - 6;
    if (rightRaw == "-1") {
        out.Texts.push_back({direct, barX + (barW - fm.horizontalAdvance(direct)) / 2});
        return;
    }
    // Below a subfolder without a measurement the subtree's count is not known.
    const QString subtree =
        rightRaw == "-2" ? QStringLiteral("未計測") : CountText(FromUtf8(rightRaw));
    const int midX = barX + barW * 2 / 5;
    out.Texts.push_back({direct, midX - fm.horizontalAdvance(direct) - 3});
    out.Texts.push_back({QStringLiteral("/"), midX});
    out.Texts.push_back({subtree, midX + 10});
}

// "change=before": the change as text, and a bar of the change against the
// largest change shown (`largest`; without one, against the larger of before
// and after), in the colour of growth or shrinkage; "?" when the previous
// measurement did not know the folder.
void LayoutChange(CellLayout& out, const QString& text, int left, int top, int right, int bottom,
                  const QFontMetrics& fm, int sizeUnit, double largest) {
    if (text.isEmpty()) return;
    if (text == QStringLiteral("?")) {
        const QString unknown = QStringLiteral("不明");
        out.Texts.push_back({unknown, right - fm.horizontalAdvance(unknown) - 6});
        return;
    }
    const auto [changeText, beforeText] = SplitNameValue(text.toStdString());
    const double change = TextToFloat(changeText, 0), before = TextToFloat(beforeText, 0);
    const QString shown = FromUtf8(SignedSizeText(change, sizeUnit));
    const int textX = right - fm.horizontalAdvance(shown) - 6;
    out.Texts.push_back({shown, textX});
    const double whole = largest > 0 ? largest : std::max(before, before + change);
    const int barX = left + 2, barW = textX - 6 - barX, barH = bottom - top - 9;
    if (change == 0 || !(whole > 0) || barW <= 4 || barH <= 0) return;
    out.Bar = true;
    out.BarX = barX;
    out.BarW = barW;
    out.BarH = barH;
    out.BarY = top + (bottom - top - barH) / 2 - 1;
    out.Fill = true;
    out.FillRight =
        static_cast<int>(std::trunc(barX + std::min(1.0, std::fabs(change) / whole) * barW + 1));
    out.FillColour = change > 0 ? GrowthColour() : ShrinkColour();
}

} // namespace

QColor GrowthColour() {
    return QColor(0xD0, 0x40, 0x30);
}
QColor ShrinkColour() {
    return QColor(0x30, 0x70, 0xD0);
}

int FontPoints(const QFont& font) {
    if (font.pointSize() > 0) return font.pointSize();
    return font.pixelSize() > 0 ? font.pixelSize() * 72 / 96 : 0;
}

QColor RowBarColour(int image) {
    const uint32_t rgb = BarColour(image, 1);
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

CellLayout LayoutCell(int column, const QString& text, int image, int left, int top, int right,
                      int bottom, int points, const QFontMetrics& fm, int sizeUnit,
                      double percentBase) {
    CellLayout out;
    if (image < 0 || right - left == 0) return out;
    out.TextY = top + (bottom - top - fm.height()) / 2;
    const double value = CellValue(text);
    switch (column) {
    case kColSize:
    case kColOccupied:
        LayoutSize(out, value, left, right, points, fm, sizeUnit);
        break;
    case kColGraph:
        LayoutGraph(out, value, image, left, top, right, bottom, fm, percentBase);
        break;
    case kColFiles:
    case kColFolders:
        LayoutCounts(out, text, left, right, fm);
        break;
    case kColChange:
        LayoutChange(out, text, left, top, right, bottom, fm, sizeUnit, percentBase);
        break;
    default:
        break;
    }
    return out;
}

QString ChangeTip(const QString& caption, const QString& text) {
    if (text.isEmpty()) return {};
    if (text == QStringLiteral("?"))
        return QStringLiteral("増減\n") + caption +
               QStringLiteral(" >> 不明（前回の計測にないフォルダ）");
    const auto [changeText, beforeText] = SplitNameValue(text.toStdString());
    const double change = TextToFloat(changeText, 0), before = TextToFloat(beforeText, 0);
    const int unit = Global().SizeUnit;
    return QStringLiteral("増減\n") + caption + QStringLiteral(" >> 前回 ") +
           FromUtf8(FormatSizeText(before, unit)) + QStringLiteral(" → 今回 ") +
           FromUtf8(FormatSizeText(before + change, unit)) + QStringLiteral("（") +
           FromUtf8(SignedSizeText(change, unit)) + QStringLiteral("）");
}

QString InfoTipText(const QString& caption, const QString& sizeText, const QString& occupiedText,
                    bool unreadable) {
    return QString::fromStdString(InfoTip(caption.toStdString(), sizeText.toStdString(),
                                          occupiedText.toStdString(), unreadable));
}

void PaintCell(QPainter* painter, const QStyleOptionViewItem& option, int column,
               const QString& text, int image, double percentBase) {
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                               : QPalette::Inactive;
    const bool selected = option.state & QStyle::State_Selected;
    const QRect& r = option.rect;
    painter->fillRect(r,
                      option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base));
    if (image < 0 || r.width() == 0) return;

    const QFontMetrics fm(option.font);
    const CellLayout cell =
        LayoutCell(column, text, image, r.x(), r.y(), r.x() + r.width(), r.y() + r.height(),
                   FontPoints(option.font), fm, Global().SizeUnit, percentBase);

    painter->save();
    painter->setClipRect(r);
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (cell.Bar) {
        const int x1 = cell.BarX, y1 = cell.BarY, x2 = cell.BarX + cell.BarW,
                  y2 = cell.BarY + cell.BarH;
        if (cell.Fill && cell.FillRight > x1)
            painter->fillRect(QRect(x1, y1, cell.FillRight - x1, y2 - y1), cell.FillColour);
        painter->setPen(QPen(Qt::black, 0));
        painter->drawLine(x1, y1, x2, y1);
        painter->drawLine(x2, y1, x2, y2);
        painter->drawLine(x2, y2, x1, y2);
        painter->drawLine(x1, y2, x1, y1);
        painter->setPen(QPen(QColor(192, 192, 192), 0));
        painter->drawLine(x2 + 1, y1 + 1, x2 + 1, y2 + 1);
        painter->drawLine(x2 + 1, y2 + 1, x1 + 1, y2 + 1);
    }
    painter->setFont(option.font);
    painter->setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    for (const CellText& t : cell.Texts)
        painter->drawText(QPoint(t.X, cell.TextY + fm.ascent()), t.Text);
    painter->restore();
}

ListCellDelegate::ListCellDelegate(std::function<double()> percentBase, QObject* parent)
    : QStyledItemDelegate(parent), percentBase_(std::move(percentBase)) {}

void ListCellDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() < kColSize) ElidePathInCell(option);
}

void ListCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const int column = index.column();
    if (column < kColSize || column > kColChange) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QVariant imageData = index.data(kImageRole);
    const int image = imageData.isValid() ? imageData.toInt() : -1;
    double base = percentBase_ ? percentBase_() : 0.0;
    if (column == kColChange) {
        const auto* rows = qobject_cast<const RowModel*>(index.model());
        base = rows ? rows->LargestChange() : 0.0;
    }
    PaintCell(painter, option, column, index.data(Qt::DisplayRole).toString(), image, base);
}

bool ListCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString tip;
    QRect area;
    if (index.isValid()) {
        // The rows' own bytes, not the shown text: a path is looked up exactly.
        bool unreadable = false;
        if (const auto* rows = qobject_cast<const RowModel*>(index.model())) {
            const std::string header = rows->RowAt(0).Caption;
            const RowFields& row = rows->RowAt(index.row());
            const std::string folder = RowFolderPath(header, row.Image, row.Caption);
            unreadable = !folder.empty() && IsUnreadableFolder(folder);
        }
        const int column = index.column();
        if (column == kColChange) {
            tip = ChangeTip(index.siblingAtColumn(kColName).data().toString(),
                            index.data(Qt::DisplayRole).toString());
        } else if (!unreadable && (column == kColFiles || column == kColFolders)) {
            const QString raw = index.data(Qt::DisplayRole).toString();
            tip = QString::fromStdString(
                CountTip(index.siblingAtColumn(kColName).data().toString().toStdString(),
                         raw.toStdString(), column == kColFiles));
        } else {
            tip = InfoTipText(index.siblingAtColumn(kColName).data().toString(),
                              index.siblingAtColumn(kColSize).data().toString(),
                              index.siblingAtColumn(kColOccupied).data().toString(), unreadable);
        }
        const QRect cell = view->visualRect(index);
        area = QRect(view->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }
    // An empty text hides a tip still showing from another row.
    QToolTip::showText(event->globalPos(), tip, view, area);
    event->setAccepted(!tip.isEmpty());
    return true;
}

} // namespace nrvs
