#include "core/GlobalState.h"
#include "support/ResetGlobalState.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/Images.h"

#include <QHeaderView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolTip>
#include <QtTest>

#include <memory>

using namespace nrvs;

namespace {

const QColor kBase(255, 255, 255);
const QColor kHighlight(0, 0, 160);
const QColor kHighlightText(255, 255, 240);
const QColor kSilver(192, 192, 192);
constexpr int kRowHeight = 20;

struct Row {
    QString caption;
    int image;
    QString size, occupied, graph, files, folders;
};

// A table laid out like the main list, drawn by the delegate.
class ListFixture {
  public:
    explicit ListFixture(double base) : base_(base) {
        model.setColumnCount(6);
        view.setModel(&model);
        view.setItemDelegate(new ListCellDelegate([this] { return base_; }, &view));
        view.setShowGrid(false);
        view.horizontalHeader()->hide();
        view.verticalHeader()->hide();
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->setDefaultSectionSize(kRowHeight);
        view.setFont(QFont(QStringLiteral("IPAPGothic"), 9));
        QPalette pal = view.palette();
        pal.setColor(QPalette::Base, kBase);
        pal.setColor(QPalette::Text, Qt::black);
        pal.setColor(QPalette::Highlight, kHighlight);
        pal.setColor(QPalette::HighlightedText, kHighlightText);
        view.setPalette(pal);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        const int widths[6] = {120, 80, 80, 200, 110, 110};
        for (int c = 0; c < 6; ++c)
            view.setColumnWidth(c, widths[c]);
        view.resize(760, 260);
    }

    void Add(const Row& r) {
        const QString texts[6] = {r.caption, r.size, r.occupied, r.graph, r.files, r.folders};
        QList<QStandardItem*> items;
        for (const QString& t : texts) {
            auto* item = new QStandardItem(t);
            item->setData(r.image, kImageRole);
            items << item;
        }
        model.appendRow(items);
    }

    QImage Render() {
        view.show();
        if (!QTest::qWaitForWindowExposed(&view)) return {};
        return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QRect Cell(int row, int column) const { return view.visualRect(model.index(row, column)); }
    QFontMetrics Metrics() const { return QFontMetrics(view.font()); }

    QStandardItemModel model;
    QTableView view;

  private:
    double base_;
};

int CountColour(const QImage& img, int x1, int x2, int y, const QColor& c) {
    int n = 0;
    for (int x = x1; x <= x2; ++x)
        n += img.pixelColor(x, y) == c;
    return n;
}

bool AllColour(const QImage& img, const QRect& r, const QColor& c) {
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) != c) return false;
    return true;
}

// The bar as found in the picture: the black frame's left and right columns
// on the frame's middle line, and how many pixels inside it have the fill colour.
struct FoundBar {
    int left = -1, right = -1, filled = 0;
};

FoundBar FindBar(const QImage& img, const QRect& cell, int midY, const QColor& fill) {
    FoundBar b;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        if (img.pixelColor(x, midY) != QColor(Qt::black)) continue;
        if (b.left < 0)
            b.left = x;
        else if (b.right < 0 && x > b.left + 1)
            b.right = x;
    }
    if (b.left >= 0 && b.right > b.left)
        b.filled = CountColour(img, b.left + 1, b.right - 1, midY, fill);
    return b;
}

QStringList Texts(const CellLayout& l) {
    QStringList out;
    for (const CellText& t : l.Texts)
        out << t.Text;
    return out;
}

} // namespace

class CellDrawingTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { test::ResetGlobalState(); }

    void graphBarsFollowTheirShareOfTheBase() {
        ListFixture list(1000);
        list.Add({"dir", 7, "500", "512", "500", "1=2", "3=4"});                // 50 %
        list.Add({"big", 44, "3000", "3000", "3000", "-1=-1", "-1=-1"});        // 300 %
        list.Add({"tiny", 9, "0", "0", "0.5", "-1=-1", "-1=-1"});               // 0.05 %
        list.Add({"small", 9, "10", "4096", "10", "-1=-1", "-1=-1"});           // 1 %
        list.Add({"head", 10, "-1", "-1", "-1", "-1=-1", "-1=-1"});             // not measured
        list.Add({"huge", 44, "123456", "123456", "123456", "-1=-1", "-1=-1"}); // 12345.6 %
        const QImage img = list.Render();
        QVERIFY(!img.isNull());
        img.save(QDir::temp().filePath("nrvs-cells.png"));

        const QFontMetrics fm = list.Metrics();
        const QRect cell = list.Cell(0, kColGraph);
        // The bar stops short of the widest percentage text and is centred
        // one pixel above the row's middle.
        const int barW = cell.width() - 12 - fm.horizontalAdvance(QStringLiteral("100.0 %"));
        const int barH = kRowHeight - 9;
        const int barY = (kRowHeight - barH) / 2 - 1;
        const int midY = barY + barH / 2;

        const FoundBar half = FindBar(img, cell, cell.top() + midY, RowBarColour(7));
        QCOMPARE(half.left, cell.left() + 2);
        QCOMPARE(half.right, cell.left() + 2 + barW);
        QCOMPARE(half.filled, barW / 2);
        QCOMPARE(RowBarColour(7), QColor(255, 204, 0));
        // Frame top and bottom, then the silver shadow right and below.
        QCOMPARE(img.pixelColor(half.left + 5, cell.top() + barY), QColor(Qt::black));
        QCOMPARE(img.pixelColor(half.left + 5, cell.top() + barY + barH), QColor(Qt::black));
        QCOMPARE(img.pixelColor(half.right + 1, cell.top() + midY), kSilver);
        QCOMPARE(img.pixelColor(half.left + 5, cell.top() + barY + barH + 1), kSilver);
        // The fill stays inside the frame's height.
        QCOMPARE(img.pixelColor(half.left + 3, cell.top() + barY + 1), RowBarColour(7));
        QCOMPARE(img.pixelColor(half.left + 3, cell.top() + barY + barH - 1), RowBarColour(7));

        // Over the base: the text shows the true share, the bar is full.
        const QRect bigCell = list.Cell(1, kColGraph);
        const FoundBar full = FindBar(img, bigCell, bigCell.top() + midY, QColor(255, 128, 0));
        QCOMPARE(full.right - full.left, barW);
        QCOMPARE(full.filled, barW - 1);
        const CellLayout big =
            LayoutCell(kColGraph, "3000", 44, 0, 0, 200, kRowHeight, 9, fm, 0, 1000);
        QCOMPARE(Texts(big), QStringList{"300.0 %"});
        QCOMPARE(big.Texts[0].X, 200 - fm.horizontalAdvance("300.0 %") - 4);

        // Far over the base: the wider text stays beside the bar, which ends
        // (shadow included) before the text begins.
        const QRect hugeCell = list.Cell(5, kColGraph);
        const CellLayout huge = LayoutCell(kColGraph, "123456", 44, hugeCell.left(), hugeCell.top(),
                                           hugeCell.left() + hugeCell.width(),
                                           hugeCell.top() + kRowHeight, 9, fm, 0, 1000);
        QCOMPARE(Texts(huge), QStringList{"12345.6 %"});
        QVERIFY(huge.Bar && huge.Fill);
        QVERIFY(huge.BarX + huge.BarW + 1 < huge.Texts[0].X);
        QCOMPARE(huge.FillRight, huge.BarX + huge.BarW + 1);
        const FoundBar hugeBar = FindBar(img, hugeCell, hugeCell.top() + midY, QColor(255, 128, 0));
        QCOMPARE(hugeBar.right, huge.BarX + huge.BarW);
        // No bar colour where the text is drawn.
        for (int y = hugeCell.top(); y <= hugeCell.bottom(); ++y)
            QCOMPARE(CountColour(img, huge.Texts[0].X, hugeCell.right(), y, QColor(255, 128, 0)),
                     0);

        // Under 0.1 %: frame and shadow, no fill.
        const QRect tinyCell = list.Cell(2, kColGraph);
        const FoundBar none = FindBar(img, tinyCell, tinyCell.top() + midY, RowBarColour(9));
        QCOMPARE(none.right - none.left, barW);
        QCOMPARE(none.filled, 0);
        QCOMPARE(CountColour(img, none.left + 1, none.right - 1, tinyCell.top() + midY, kBase),
                 barW - 1);
        QCOMPARE(img.pixelColor(none.right + 1, tinyCell.top() + midY), kSilver);

        // 1 % of a bar over 100 pixels wide shows one pixel of fill.
        const QRect smallCell = list.Cell(3, kColGraph);
        QVERIFY(barW >= 100 && barW < 200);
        QCOMPARE(FindBar(img, smallCell, smallCell.top() + midY, QColor(153, 153, 255)).filled, 1);

        // Not measured: the graph cell is empty.
        QVERIFY(AllColour(img, list.Cell(4, kColGraph), kBase));
    }

    void graphTextsAndBaseRules() {
        const QFontMetrics fm(QFont(QStringLiteral("IPAPGothic"), 9));
        const CellLayout half = LayoutCell(kColGraph, "512", 7, 100, 40, 300, 60, 9, fm, 0, 1024);
        QCOMPARE(Texts(half), QStringList{"50.0 %"});
        QCOMPARE(half.TextY, 40 + (20 - fm.height()) / 2);
        QVERIFY(half.Bar && half.Fill);
        QCOMPARE(half.FillColour, QColor(255, 204, 0));

        // A base of 0 or below counts as 1 byte: any row of a byte or more is full.
        for (double base : {0.0, -5.0}) {
            const CellLayout one = LayoutCell(kColGraph, "1", 9, 0, 0, 200, 20, 9, fm, 0, base);
            QCOMPARE(Texts(one), QStringList{"100.0 %"});
            QCOMPARE(one.FillRight, one.BarX + one.BarW + 1);
        }
        QCOMPARE(Texts(LayoutCell(kColGraph, "0", 9, 0, 0, 200, 20, 9, fm, 0, 0)),
                 QStringList{"0.0 %"});

        // Colours by row kind; reserved space and unknown images are black.
        // From 0.1 % on the fill is laid out, even when it is still under the frame.
        const CellLayout permille = LayoutCell(kColGraph, "1", 9, 0, 0, 200, 20, 9, fm, 0, 1000);
        QVERIFY(permille.Fill);
        QCOMPARE(permille.FillRight, permille.BarX + 1);
        QVERIFY(!LayoutCell(kColGraph, "0.999", 9, 0, 0, 200, 20, 9, fm, 0, 1000).Fill);
        QCOMPARE(LayoutCell(kColGraph, "1", 10, 0, 0, 200, 20, 9, fm, 0, 1).FillColour,
                 QColor(0, 0, 80));
        QCOMPARE(LayoutCell(kColGraph, "1", 20, 0, 0, 200, 20, 9, fm, 0, 1).FillColour,
                 QColor(77, 93, 189));
        QCOMPARE(LayoutCell(kColGraph, "1", 45, 0, 0, 200, 20, 9, fm, 0, 1).FillColour,
                 QColor(0, 0, 0));

        // A column narrower than the widest percentage keeps the text but has
        // no room for a bar.
        const CellLayout narrow = LayoutCell(kColGraph, "1", 9, 0, 0,
                                             fm.horizontalAdvance("100.0 %") + 12, 20, 9, fm, 0, 1);
        QCOMPARE(Texts(narrow), QStringList{"100.0 %"});
        QVERIFY(!narrow.Bar);
        QVERIFY(!narrow.Fill);
        // Unreadable or negative values draw nothing at all.
        QVERIFY(LayoutCell(kColGraph, "abc", 7, 0, 0, 200, 20, 9, fm, 0, 1).Texts.empty());
        QVERIFY(!LayoutCell(kColGraph, "-1", 7, 0, 0, 200, 20, 9, fm, 0, 1).Bar);
    }

    void sizeCellsPlaceNumberAndUnit() {
        const QFontMetrics fm(QFont(QStringLiteral("IPAPGothic"), 9));
        const int left = 200, right = 280, unitX = right - 2 * 9 - 4;

        const CellLayout kb = LayoutCell(kColSize, "4096", 9, left, 0, right, 20, 9, fm, 0, 1);
        QCOMPARE(Texts(kb), (QStringList{"4.00", "KB"}));
        QCOMPARE(kb.Texts[1].X, unitX);
        QCOMPARE(kb.Texts[0].X, unitX - fm.horizontalAdvance("4.00") - 4);

        const CellLayout bytes =
            LayoutCell(kColOccupied, "4096", 9, left, 0, right, 20, 9, fm, 1, 1);
        QCOMPARE(Texts(bytes), (QStringList{"4,096", "B"}));

        // Too narrow for its number: "---" near the left edge, unit in place.
        const CellLayout tight =
            LayoutCell(kColSize, "123456789012", 9, left, 0, left + 40, 20, 9, fm, 1, 1);
        QCOMPARE(Texts(tight), (QStringList{"---", "B"}));
        QCOMPARE(tight.Texts[0].X, left + 3);
        QCOMPARE(tight.Texts[1].X, left + 40 - 22);

        // Not measured: the label right-aligned, no unit.
        const CellLayout unmeasured =
            LayoutCell(kColSize, "-1", 7, left, 0, right, 20, 9, fm, 0, 1);
        QCOMPARE(Texts(unmeasured), (QStringList{"未計測", ""}));
        QCOMPARE(unmeasured.Texts[0].X, right - fm.horizontalAdvance("未計測") - 10);
        const CellLayout unmeasuredTight =
            LayoutCell(kColSize, "-1", 7, left, 0, left + 30, 20, 9, fm, 0, 1);
        QCOMPARE(unmeasuredTight.Texts[0].Text, QString("---"));
        QCOMPARE(unmeasuredTight.Texts[0].X, left + 30 - fm.horizontalAdvance("---") - 10);

        // The unit's place follows the font's point size.
        QCOMPARE(LayoutCell(kColSize, "1", 9, 0, 0, 100, 20, 12, fm, 0, 1).Texts[1].X,
                 100 - 24 - 4);
        QFont pixels;
        pixels.setPixelSize(16);
        QCOMPARE(FontPoints(pixels), 12);
        QCOMPARE(FontPoints(QFont(QStringLiteral("IPAPGothic"), 9)), 9);

        // Blank rows and zero-width cells draw nothing.
        QVERIFY(LayoutCell(kColSize, "4096", -1, left, 0, right, 20, 9, fm, 0, 1).Texts.empty());
        QVERIFY(LayoutCell(kColSize, "4096", 9, left, 0, left, 20, 9, fm, 0, 1).Texts.empty());
    }

    void narrowSizeCellIsDrawnAsLaidOut() {
        Global().SizeUnit = 1;
        ListFixture list(1);
        list.Add({"huge.bin", 9, "123456789012", "123456789012", "1", "-1=-1", "-1=-1"});
        list.view.setColumnWidth(kColSize, 44);
        const QImage img = list.Render();
        QVERIFY(!img.isNull());

        // Draw what the cell should show with plain top-aligned text and compare.
        const QRect cell = list.Cell(0, kColSize);
        const QFontMetrics fm = list.Metrics();
        QImage expected(cell.size(), QImage::Format_RGB32);
        expected.fill(kBase);
        {
            QPainter p(&expected);
            p.setFont(list.view.font());
            p.setPen(Qt::black);
            const int textY = (kRowHeight - fm.height()) / 2;
            p.drawText(QRect(3, textY, 100, 40), Qt::AlignLeft | Qt::AlignTop, "---");
            p.drawText(QRect(cell.width() - 22, textY, 100, 40), Qt::AlignLeft | Qt::AlignTop, "B");
        }
        QCOMPARE(img.copy(cell), expected);
        QVERIFY(!AllColour(
            img, QRect(cell.left() + 3, cell.top(), fm.horizontalAdvance("---"), kRowHeight),
            kBase));
    }

    void countCellsShowDirectAndSubtreeCounts() {
        const QFontMetrics fm(QFont(QStringLiteral("IPAPGothic"), 9));
        const int left = 500, right = 610, barX = left + 2, barW = right - left - 6;
        const CellLayout both =
            LayoutCell(kColFiles, "1234=56789", 7, left, 0, right, 20, 9, fm, 0, 1);
        QCOMPARE(Texts(both), (QStringList{"1,234", "/", "56,789"}));
        const int midX = barX + barW * 2 / 5;
        QCOMPARE(both.Texts[0].X, midX - fm.horizontalAdvance("1,234") - 3);
        QCOMPARE(both.Texts[1].X, midX);
        QCOMPARE(both.Texts[2].X, midX + 10);

        const CellLayout direct =
            LayoutCell(kColFolders, "12=-1", 10, left, 0, right, 20, 9, fm, 0, 1);
        QCOMPARE(Texts(direct), QStringList{"12"});
        QCOMPARE(direct.Texts[0].X, barX + (barW - fm.horizontalAdvance("12")) / 2);

        // Unreadable counts show as 0; a file row's "-1" shows nothing.
        QCOMPARE(Texts(LayoutCell(kColFiles, "x=7", 7, left, 0, right, 20, 9, fm, 0, 1)),
                 (QStringList{"0", "/", "7"}));
        QVERIFY(LayoutCell(kColFiles, "-1=-1", 9, left, 0, right, 20, 9, fm, 0, 1).Texts.empty());
        QVERIFY(LayoutCell(kColFiles, "-1=5", 9, left, 0, right, 20, 9, fm, 0, 1).Texts.empty());

        ListFixture list(100);
        list.Add({"dir", 10, "100", "4096", "100", "12=345", "3=40"});
        list.Add({"a.txt", 9, "100", "4096", "100", "-1=-1", "-1=-1"});
        list.Add({"", -1, "", "", "", "", ""});
        const QImage img = list.Render();
        QVERIFY(!img.isNull());
        QVERIFY(!AllColour(img, list.Cell(0, kColFiles), kBase));
        QVERIFY(!AllColour(img, list.Cell(0, kColFolders), kBase));
        QVERIFY(AllColour(img, list.Cell(1, kColFiles), kBase));
        QVERIFY(AllColour(img, list.Cell(1, kColFolders), kBase));
        // A blank row is background in every value column.
        for (int c = kColSize; c <= kColFolders; ++c)
            QVERIFY(AllColour(img, list.Cell(2, c), kBase));
    }

    void selectedRowKeepsItsCellsVisible() {
        ListFixture list(1000);
        list.Add({"dir", 7, "500", "512", "500", "1=2", "3=4"});
        list.Add({"b", 9, "10", "4096", "10", "-1=-1", "-1=-1"});
        list.view.selectRow(0);
        const QImage img = list.Render();
        QVERIFY(!img.isNull());
        const QRect size = list.Cell(0, kColSize);
        QCOMPARE(img.pixelColor(size.topLeft()), kHighlight);
        // The text is drawn in the light highlighted-text colour, not in black.
        int light = 0, dark = 0;
        for (int y = size.top(); y <= size.bottom(); ++y)
            for (int x = size.left(); x <= size.right(); ++x) {
                const QColor c = img.pixelColor(x, y);
                light += c.red() > 200;
                dark += c.blue() < 100;
            }
        QVERIFY(light > 10);
        QCOMPARE(dark, 0);
        const QRect graph = list.Cell(0, kColGraph);
        QCOMPARE(img.pixelColor(graph.topLeft()), kHighlight);
        QVERIFY(FindBar(img, graph, graph.top() + 6, RowBarColour(7)).filled > 0);
        QCOMPARE(img.pixelColor(list.Cell(1, kColSize).topLeft()), kBase);
    }

    void infoTipShowsTheClusterGap() {
        QCOMPARE(InfoTipText("readme.txt", "1000", "4096"),
                 QString("クラスタギャップ\nreadme.txt >> 3,096 bytes"));
        QCOMPARE(InfoTipText("sparse.img", "1048576", "4096"),
                 QString("クラスタギャップ\nsparse.img >> -1,044,480 bytes"));
        QCOMPARE(InfoTipText("empty", "0", "0"), QString("クラスタギャップ\nempty >> 0 bytes"));
        QCOMPARE(InfoTipText("new", "-1", "-1"), QString("クラスタギャップ\nnew >> 未計測"));
        QVERIFY(InfoTipText("", "", "").isEmpty());
        QVERIFY(InfoTipText("odd", "1000", "").isEmpty());

        ListFixture list(1);
        list.Add({"readme.txt", 9, "1000", "4096", "1000", "-1=-1", "-1=-1"});
        list.Add({"", -1, "", "", "", "", ""});
        QVERIFY(!list.Render().isNull());
        auto* delegate = list.view.itemDelegate();
        QStyleOptionViewItem option;
        option.initFrom(&list.view);
        const QPoint at = list.Cell(0, kColGraph).center();
        QHelpEvent tip(QEvent::ToolTip, at, list.view.viewport()->mapToGlobal(at));
        QVERIFY(delegate->helpEvent(&tip, &list.view, option, list.model.index(0, kColGraph)));
        QVERIFY(tip.isAccepted());
        QCOMPARE(QToolTip::text(), QString("クラスタギャップ\nreadme.txt >> 3,096 bytes"));

        const QPoint blankAt = list.Cell(1, kColSize).center();
        QHelpEvent none(QEvent::ToolTip, blankAt, list.view.viewport()->mapToGlobal(blankAt));
        delegate->helpEvent(&none, &list.view, option, list.model.index(1, kColSize));
        QVERIFY(!none.isAccepted());
    }

    void imagesLoadWithTheirSizes() {
        const int used[] = {1,  2,  3,  4,  5,  6,  7,  9,  10, 11, 12, 13, 14, 15,
                            16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                            31, 32, 33, 34, 35, 36, 37, 39, 40, 41, 42, 43, 44, 45};
        for (int i : used) {
            const QIcon icon = ImageIcon(i);
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(i)));
            const QImage img = icon.pixmap(QSize(16, 16)).toImage();
            QCOMPARE(img.size(), QSize(16, 16));
            QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(16, 16)});
            // An image with a meaning has a picture.
            int opaque = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    opaque += qAlpha(img.pixel(x, y)) > 128;
            QVERIFY2(opaque >= 10, qPrintable(QString::number(i)));
        }
        // Indexes without a meaning still fill their slot.
        QCOMPARE(ImageIcon(0).availableSizes(), QList<QSize>{QSize(16, 16)});
        QVERIFY(ImageIcon(-1).isNull());
        QVERIFY(ImageIcon(46).isNull());
        QVERIFY(ImageIcon(23).pixmap(16, 16).toImage() != ImageIcon(24).pixmap(16, 16).toImage());
        QVERIFY(ImageIcon(6).pixmap(16, 16).toImage() != ImageIcon(7).pixmap(16, 16).toImage());

        // Lamps: amber while opening, green ready, red not ready.
        const QColor hue[3] = {QColor(255, 176, 0), QColor(48, 192, 48), QColor(224, 48, 48)};
        for (int i = 0; i < 3; ++i) {
            const QPixmap lamp = LampPixmap(i);
            QCOMPARE(lamp.size(), QSize(12, 12));
            QCOMPARE(lamp.toImage().pixelColor(8, 8).rgb(), hue[i].rgb());
        }
        QVERIFY(LampPixmap(3).isNull());
        QVERIFY(LampPixmap(-1).isNull());
    }
};

QTEST_MAIN(CellDrawingTest)
#include "CellDrawingTest.moc"
