// Drawing of the main list's value cells (size, occupied size, graph and the
// two count columns) and the rows' info tips.
#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QString>
#include <QStyledItemDelegate>

#include <functional>
#include <vector>

namespace nrvs {

// The row's image index, given on every column of the list model; -1 for a
// blank row.
constexpr int kImageRole = Qt::UserRole + 1;

// List columns whose cells the delegate draws itself.
enum ListColumn : int {
    kColName = 0,
    kColSize = 1,
    kColOccupied = 2,
    kColGraph = 3,
    kColFiles = 4,
    kColFolders = 5,
    kColChange = 6,
};

struct CellText {
    QString Text;
    int X = 0;
};

// Everything one value cell shows, in pixels of the view. Texts are placed with
// their top edge at TextY. The bar's frame runs from (BarX, BarY) to
// (BarX + BarW, BarY + BarH); its fill covers x from BarX up to, not including,
// FillRight, and y from BarY up to, not including, BarY + BarH.
struct CellLayout {
    std::vector<CellText> Texts;
    int TextY = 0;
    bool Bar = false;
    int BarX = 0;
    int BarY = 0;
    int BarW = 0;
    int BarH = 0;
    bool Fill = false;
    int FillRight = 0;
    QColor FillColour;
};

// Lays out the cell of the given column (1..5) of a row with the given image
// and cell text. left/right/top/bottom are the cell's edges (right = left +
// width, bottom = top + height); points is the list font's size in points.
// Blank rows (image < 0) and zero-width cells give an empty layout.
// percentBase is the bytes a full graph bar stands for; for the 増減 column,
// the largest change shown (0: each change against its own before/after).
CellLayout LayoutCell(int column, const QString& text, int image, int left, int top, int right,
                      int bottom, int points, const QFontMetrics& fm, int sizeUnit,
                      double percentBase);

// The bar colours of the 増減 column.
QColor GrowthColour();
QColor ShrinkColour();

// The font's size in whole points; fonts sized in pixels count 96 pixels per inch.
int FontPoints(const QFont& font);

// Paints one value cell as the main list shows it: the background, then the
// layout of LayoutCell (nothing more for a blank row or a zero-width cell).
void PaintCell(QPainter* painter, const QStyleOptionViewItem& option, int column,
               const QString& text, int image, double percentBase);

// The colour of a row's bar by its image number.
QColor RowBarColour(int image);

// The row's tip: the cluster gap (occupied minus size) under a label, or empty
// when the size is unknown; for a folder the measurement could not read, that
// it could not be read.
QString InfoTipText(const QString& caption, const QString& sizeText, const QString& occupiedText,
                    bool unreadable = false);

// The tip of the 増減 column: before and after, or that the previous
// measurement does not know the folder.
QString ChangeTip(const QString& caption, const QString& changeText);

// Draws columns 1 to 6 of the main list and answers its tool tips; column 0
// keeps the standard drawing.
class ListCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // percentBase gives the byte count that fills a bar (the main window's
    // PercentBaseValue); the unit of the size columns is Global().SizeUnit.
    explicit ListCellDelegate(std::function<double()> percentBase, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  protected:
    // The name column's paths (the header row) lose their middle, not their end.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    std::function<double()> percentBase_;
};

} // namespace nrvs
