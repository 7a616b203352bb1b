// The file types window driven as a user would: its rows against the
// statistics of the index (odd names, a program without an extension, a
// file with two names), heading clicks, the rows by kind, the treemap lit by
// a chosen row, a double click into the largest-files window, a drive
// without an index and the kept settings.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/index/FileKinds.h"
#include "core/measure/Measure.h"
#include "core/views/Rows.h"
#include "core/treemap/Treemap.h"
#include "core/GlobalState.h"
#include "support/MainWindowFixture.h"
#include "support/ResetGlobalState.h"
#include "support/ScriptedUi.h"
#include "lib/Messages.h"
#include "lib/SizeText.h"
#include "lib/StringList.h"
#include "platform/Drives.h"
#include "support/TempDrive.h"
#include "ui/files/FilesWindow.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/MainWindow.h"
#include "ui/treemap/TreemapWindow.h"
#include "ui/types/TypesWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList Column(const QTreeWidget* list, int column) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(column);
    return out;
}
} // namespace

class TypesWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    std::unique_ptr<MainWindow> main;
    test::ScriptedUi ui;

    void Measure() {
        Global().AskBeforeMeasure = 0;
        MeasureHooks quiet;
        QCOMPARE(MeasureDrives(quiet), 1);
        main->OpenPath(drive->Root(), true);
    }
    TypesWindow& Open() {
        main->toolsFileTypesAction->trigger();
        return *main->Types;
    }
    std::vector<TypeRow> Statistics(bool byKind) {
        const DriveRecord& d = *Global().CurrentDrive;
        FileIndex index;
        std::string why;
        if (!index.Open(FileIndexName(d), d.RootPath[0], CacheHeaderLine(d), &why)) return {};
        return TypeStatistics(index, "", byKind);
    }
    QTreeWidgetItem* Row(TypesWindow& w, const QString& ext, const QString& kind = {}) {
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = w.reportList->topLevelItem(i);
            if (item->text(0) == ext && (kind.isEmpty() || item->text(1) == kind)) return item;
        }
        return nullptr;
    }
    void ClickHeading(TypesWindow& w, int section) {
        QHeaderView* h = w.reportList->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(section) + 10, 5));
    }
    void Click(TypesWindow& w, QTreeWidgetItem* row) {
        QTest::mouseClick(w.reportList->viewport(), Qt::LeftButton, {},
                          w.reportList->visualItemRect(row).center());
    }
    // The view takes a double click only on the row its first click pressed.
    void DoubleClick(TypesWindow& w, QTreeWidgetItem* row) {
        const QPoint at = w.reportList->visualItemRect(row).center();
        QTest::mouseClick(w.reportList->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w.reportList->viewport(), Qt::LeftButton, {}, at);
    }
    int Tile(const TreemapWindow& t, const std::string& relative) {
        const Treemap& map = t.Map();
        const std::string path = drive->Root() + relative;
        for (size_t i = 0; i < map.Nodes.size(); ++i)
            if ((map.Nodes[i].Kind == TILE_INDEXED_FILE || map.Nodes[i].Kind == TILE_FILE) &&
                NodePath(map, static_cast<int>(i)) == path)
                return static_cast<int>(i);
        return -1;
    }
    // Inside a tile's lower right corner, where no name is drawn over it.
    static QPoint Corner(const TreemapWindow& t, int node) {
        const TreemapRect& r = t.Map().Nodes[static_cast<size_t>(node)].Rect;
        return QPoint(static_cast<int>(r.X + r.W) - 4, static_cast<int>(r.Y + r.H) - 4);
    }
    QRgb Centre(const TreemapWindow& t, int node) { return t.Image().pixel(Corner(t, node)); }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        const test::TempDir& d = drive->Dir();
        d.Write("photos/A.JPG", std::string(400000, 'a'));
        d.Write("photos/b.jpg", std::string(300000, 'b'));
        d.Write("photos/c.Png", std::string(200000, 'c'));
        d.Write("docs/report.final.PDF", std::string(250000, 'r'));
        d.Write(".bashrc", std::string(5000, 'x'));
        d.Write("trailing.", std::string(3000, 't'));
        d.Write("bin/tool", std::string(600000, 'e'));
        ::chmod((d / "bin/tool").c_str(), 0755);
        d.Write("music/song.mp3", std::string(350000, 'm'));
        d.Write("data/disk.iso", std::string(900000, 'i'));
        QDir().mkpath(Q(d / "other"));
        QCOMPARE(::link((d / "data/disk.iso").c_str(), (d / "other/same.iso").c_str()), 0);
        test::ResetGlobalState();
        Global().ShowFiles = 1;
        main = test::OpenMainWindow(*drive, {.resetState = false});
    }
    void cleanup() {
        main.reset();
        SetMessageUi(nullptr);
        test::ResetGlobalState();
        drive.reset();
    }

    void menuAndToolbarOfferTheWindow() {
        QCOMPARE(main->toolsFileTypesAction->text(), QStringLiteral("ファイルの種類(&Y)..."));
        QCOMPARE(main->toolsFileTypesAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
        QCOMPARE(main->toolsFileTypesToolbarAction->toolTip(), QStringLiteral("ファイルの種類"));
        QVERIFY(main->toolsMenu->actions().contains(main->toolsFileTypesAction));
        QVERIFY(main->toolsFileTypesToolbarAction->isVisible());
        QVERIFY(!main->toolsFileTypesToolbarAction->icon().isNull());
        for (QAction* a : main->findChildren<QAction*>())
            if (a != main->toolsFileTypesAction)
                QVERIFY2(a->shortcut() != main->toolsFileTypesAction->shortcut(),
                         qPrintable(a->objectName()));
        main->toolsFileTypesToolbarAction->trigger();
        QVERIFY(main->Types->isVisible());
        QCOMPARE(main->Types->windowTitle(), QStringLiteral(" ファイルの種類"));
        main->Types->close();
    }

    void rowsAreTheStatisticsAndEveryHeadingSorts() {
        Measure();
        TypesWindow& w = Open();
        QVERIFY(w.isVisible());
        const std::vector<TypeRow> stats = Statistics(false);
        QVERIFY(!stats.empty());
        QCOMPARE(w.reportList->topLevelItemCount(), static_cast<int>(stats.size()));
        uint64_t total = 0;
        for (const TypeRow& r : stats)
            total += r.Occupied;
        for (size_t i = 0; i < stats.size(); ++i) {
            const QTreeWidgetItem* item = w.reportList->topLevelItem(static_cast<int>(i));
            const TypeRow& r = stats[i];
            QCOMPARE(item->text(0), Q(ExtensionCaption(r.Extension)));
            QCOMPARE(item->text(1), QString::fromUtf8(KindCaption(r.Kind)));
            QCOMPARE(item->text(2), Q(GroupedNumber(static_cast<double>(r.Files), 0)));
            QCOMPARE(item->text(3),
                     Q(FormatSizeText(static_cast<double>(r.Size), Global().SizeUnit)));
            QCOMPARE(item->text(4),
                     Q(FormatSizeText(static_cast<double>(r.Occupied), Global().SizeUnit)));
            QCOMPARE(item->text(5), QString::number(100.0 * static_cast<double>(r.Occupied) /
                                                        static_cast<double>(total),
                                                    'f', 1) +
                                        QStringLiteral(" %"));
        }
        // Names as they come: case folded, the last dot decides, a leading
        // or trailing dot is no extension, one row for all without one
        // (programs among them), a file of two names counts once.
        QCOMPARE(Column(w.reportList, 0).first(), QStringLiteral("ISO"));
        QVERIFY(Row(w, "JPG"));
        QCOMPARE(Row(w, "JPG")->text(2), QStringLiteral("2"));
        QCOMPARE(Row(w, "JPG")->text(1), QStringLiteral("画像"));
        QVERIFY(Row(w, "PDF"));
        QVERIFY(!Row(w, "FINAL.PDF"));
        QCOMPARE(Row(w, "ISO")->text(2), QStringLiteral("1"));
        QCOMPARE(Column(w.reportList, 0).count(QStringLiteral("(なし)")), 1);
        QCOMPARE(Row(w, "(なし)", "その他")->text(2), QStringLiteral("3"));
        QVERIFY(w.stateLabel->text().contains(QStringLiteral("ファイル 9 個")));
        QHeaderView* h = w.reportList->header();
        QCOMPARE(h->sortIndicatorSection(), 4);
        QCOMPARE(h->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(h->isSortIndicatorShown());

        // Names sort as text, both ways.
        ClickHeading(w, 0);
        QCOMPARE(h->sortIndicatorSection(), 0);
        QStringList names = Column(w.reportList, 0);
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        if (h->sortIndicatorOrder() == Qt::DescendingOrder)
            std::reverse(sorted.begin(), sorted.end());
        QCOMPARE(names, sorted);
        // Numbers sort as numbers: 2 above 1 in counts, 879 KB above 5 KB.
        for (int column : {2, 3, 4, 5}) {
            ClickHeading(w, column);
            QCOMPARE(h->sortIndicatorSection(), column);
            for (int flip = 0; flip < 2; ++flip) {
                const bool up = h->sortIndicatorOrder() == Qt::AscendingOrder;
                for (int i = 1; i < w.reportList->topLevelItemCount(); ++i) {
                    const qulonglong a = w.reportList->topLevelItem(i - 1)
                                             ->data(column, Qt::UserRole + 2)
                                             .toULongLong();
                    const qulonglong b =
                        w.reportList->topLevelItem(i)->data(column, Qt::UserRole + 2).toULongLong();
                    QVERIFY2(up ? a <= b : a >= b, qPrintable(QString::number(column)));
                }
                ClickHeading(w, column);
            }
        }
        ClickHeading(w, 2);
        if (h->sortIndicatorOrder() == Qt::AscendingOrder) ClickHeading(w, 2);
        QCOMPARE(Column(w.reportList, 0).first(), QStringLiteral("(なし)"));

        // The share column draws its bar in the list's colour, longest for
        // the largest row.
        ClickHeading(w, 4);
        if (h->sortIndicatorOrder() == Qt::AscendingOrder) ClickHeading(w, 4);
        const QImage shot = w.reportList->viewport()->grab().toImage();
        const QColor bar = RowBarColour(IMG_FILE);
        auto barPixels = [&](int row) {
            const QRect cell = w.reportList->visualRect(w.reportList->model()->index(row, 5));
            int n = 0;
            for (int x = cell.left(); x <= cell.right(); ++x)
                if (QColor(shot.pixel(x, cell.center().y())) == bar) ++n;
            return n;
        };
        QVERIFY(barPixels(0) > 0);
        QVERIFY(barPixels(0) > barPixels(w.reportList->topLevelItemCount() - 1));
        w.close();
    }

    void rowsByKind() {
        Measure();
        TypesWindow& w = Open();
        w.groupCombo->setCurrentIndex(1);
        const std::vector<TypeRow> stats = Statistics(true);
        QCOMPARE(w.reportList->topLevelItemCount(), static_cast<int>(stats.size()));
        for (size_t i = 0; i < stats.size(); ++i) {
            const QTreeWidgetItem* item = w.reportList->topLevelItem(static_cast<int>(i));
            QCOMPARE(item->text(1), QString::fromUtf8(KindCaption(stats[i].Kind)));
            QCOMPARE(item->text(2), Q(GroupedNumber(static_cast<double>(stats[i].Files), 0)));
        }
        QStringList kinds = Column(w.reportList, 1);
        QCOMPARE(kinds.removeDuplicates(), 0);
        QTreeWidgetItem* images = nullptr;
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
            if (w.reportList->topLevelItem(i)->text(1) == QStringLiteral("画像"))
                images = w.reportList->topLevelItem(i);
        QVERIFY(images);
        QCOMPARE(images->text(2), QStringLiteral("3"));
        w.groupCombo->setCurrentIndex(0);
        QVERIFY(Row(w, "PNG"));
        w.close();
    }

    void aChosenRowLightsItsFilesInTheTreemap() {
        Measure();
        main->viewTreemapAction->trigger();
        TreemapWindow& t = *main->MapWindow;
        t.resize(640, 480);
        QTRY_VERIFY_WITH_TIMEOUT(t.isVisible() && !t.Busy() &&
                                     t.Map().Width == t.mapView->width() &&
                                     t.Map().Height == t.mapView->height() && !t.Image().isNull(),
                                 20000);
        const QImage plain = t.Image();
        const size_t nodes = t.Map().Nodes.size();
        const int jpg = Tile(t, "photos\\A.JPG"), mp3 = Tile(t, "music\\song.mp3"),
                  png = Tile(t, "photos\\c.Png");
        QVERIFY(jpg > 0 && mp3 > 0 && png > 0);
        QVERIFY(!t.Highlight().On);

        TypesWindow& w = Open();
        Click(w, Row(w, "JPG"));
        QVERIFY(t.Highlight().On);
        QCOMPARE(t.Highlight().Extension, std::string("jpg"));
        QCOMPARE(t.Highlight().Kind, int(KIND_IMAGE));
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Image() != plain, 10000);
        QCOMPARE(t.Map().Nodes.size(), nodes);
        auto plainCentre = [&](int node) { return plain.pixel(Corner(t, node)); };
        QCOMPARE(Centre(t, jpg), plainCentre(jpg));
        QVERIFY(Centre(t, png) != plainCentre(png));
        QVERIFY(Centre(t, mp3) != plainCentre(mp3));

        // No row chosen: every tile in its colours again.
        w.reportList->clearSelection();
        QVERIFY(!t.Highlight().On);
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Image() == plain, 10000);
        // The rows made anew (F5): none is chosen, nothing lit.
        Click(w, Row(w, "MP3"));
        QCOMPARE(t.Highlight().Extension, std::string("mp3"));
        QTest::keyClick(w.reportList, Qt::Key_F5);
        QVERIFY(w.reportList->selectedItems().isEmpty());
        QVERIFY(!t.Highlight().On);

        // A kind lights all its extensions.
        w.groupCombo->setCurrentIndex(1);
        QTreeWidgetItem* images = nullptr;
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
            if (w.reportList->topLevelItem(i)->text(1) == QStringLiteral("画像"))
                images = w.reportList->topLevelItem(i);
        QVERIFY(images);
        Click(w, images);
        QVERIFY(t.Highlight().On && t.Highlight().AnyExtension);
        QCOMPARE(t.Highlight().Kind, int(KIND_IMAGE));
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Image() != plain, 10000);
        QCOMPARE(Centre(t, png), plainCentre(png));
        QCOMPARE(Centre(t, jpg), plainCentre(jpg));
        QVERIFY(Centre(t, mp3) != plainCentre(mp3));

        // Closing the window gives the treemap back its colours.
        w.close();
        QVERIFY(!t.Highlight().On);
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Image() == plain, 10000);
        t.close();
    }

    void doubleClickListsTheFilesOfTheRow() {
        Measure();
        TypesWindow& w = Open();
        const int before = main->Files->Queries();
        DoubleClick(w, Row(w, "JPG"));
        FilesWindow& f = *main->Files;
        QVERIFY(f.isVisible());
        QCOMPARE(f.extensionEdit->text(), QStringLiteral("jpg"));
        QTRY_VERIFY(f.Queries() > before && f.reportList->topLevelItemCount() == 2);
        QStringList names = Column(f.reportList, 0);
        names.sort();
        QCOMPARE(names, (QStringList{"A.JPG", "b.jpg"}));
        f.close();

        // A kind: the extensions of its rows here.
        w.groupCombo->setCurrentIndex(1);
        QTreeWidgetItem* images = nullptr;
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
            if (w.reportList->topLevelItem(i)->text(1) == QStringLiteral("画像"))
                images = w.reportList->topLevelItem(i);
        const int again = f.Queries();
        DoubleClick(w, images);
        QCOMPARE(f.extensionEdit->text(), QStringLiteral("jpg, png"));
        QTRY_VERIFY(f.Queries() > again && f.reportList->topLevelItemCount() == 3);
        f.close();

        // Files without an extension cannot be named: the list is not filtered.
        w.groupCombo->setCurrentIndex(0);
        DoubleClick(w, Row(w, "(なし)"));
        QVERIFY(f.isVisible());
        QCOMPARE(f.extensionEdit->text(), QString());
        f.close();
        w.close();
    }

    void withoutAnIndexOneLine() {
        TypesWindow& w = Open();
        QCOMPARE(
            w.stateLabel->text(),
            QStringLiteral("このドライブは計測されていません。ドライブを計測し直してください。"));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        Measure();
        QVERIFY(std::remove(FileIndexName(*Global().CurrentDrive).c_str()) == 0);
        w.refreshButton->click();
        QCOMPARE(w.stateLabel->text(),
                 QStringLiteral(
                     "このドライブのファイル一覧がありません。ドライブを計測し直してください。"));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        QVERIFY(ui.messages.isEmpty());
        // Measured again: the rows come.
        Measure();
        w.refreshButton->click();
        QVERIFY(w.reportList->topLevelItemCount() > 0);
        w.close();
    }

    void theFolderShownOrTheWholeDrive() {
        Measure();
        main->OpenPath(drive->Root() + "photos\\", true);
        TypesWindow& w = Open();
        QCOMPARE(w.Below(), drive->Root() + "photos\\");
        QCOMPARE(Column(w.reportList, 0), (QStringList{"JPG", "PNG"}));
        w.wholeDriveCheck->setChecked(true);
        QVERIFY(Row(w, "ISO"));
        w.close();
    }

    // The main window goes to another drive: the rows follow it (not the
    // first drive's files under its name), the first drive's row no longer
    // dims the map of the second, and its measurement brings its rows.
    void followsTheDriveShown() {
        Measure();
        main->viewTreemapAction->trigger();
        TreemapWindow& t = *main->MapWindow;
        TypesWindow& w = Open();
        QVERIFY(w.stateLabel->text().startsWith(Q(drive->Root() + " のファイル")));
        Click(w, Row(w, "JPG"));
        QVERIFY(t.Highlight().On);

        test::TempDir other;
        other.Write("notes/plan.txt", std::string(7000, 'p'));
        int letter = -1;
        for (int n = 3; n < 26 && letter < 0; ++n)
            if (platform::DriveRoots()[static_cast<size_t>(n)].empty()) letter = n;
        QVERIFY(letter >= 0 && platform::SetDriveMapEntry(letter, other.Path()));
        const std::string root = std::string(1, static_cast<char>('A' + letter)) + ":\\";
        main->RefreshDrivesKeepingShown();
        main->OpenPath(root, true);
        QCOMPARE(Global().CurrentDrive->RootPath, root);
        QTRY_COMPARE(
            w.stateLabel->text(),
            QStringLiteral("このドライブは計測されていません。ドライブを計測し直してください。"));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        QVERIFY(!t.Highlight().On);

        MeasureHooks quiet;
        QCOMPARE(MeasureDrives(quiet), 1);
        main->OpenPath(root, true);
        QTRY_VERIFY(w.stateLabel->text().startsWith(Q(root + " のファイル 1 個")));
        QCOMPARE(Column(w.reportList, 0), QStringList{"TXT"});
        w.close();
        t.close();
        main->OpenPath(drive->Root(), true);
        platform::SetDriveMapEntry(letter, "");
    }

    void settingsAreKept() {
        Measure();
        TypesWindow& w = Open();
        w.groupCombo->setCurrentIndex(1);
        w.reportList->header()->resizeSection(0, 123);
        ClickHeading(w, 2);
        const Qt::SortOrder order = w.reportList->header()->sortIndicatorOrder();
        w.setGeometry(40, 50, 600, 380);
        w.close();
        QVERIFY(drive->ExeDir().Exists("norvessa.typ"));
        main.reset();
        main = test::OpenMainWindow(*drive, {.resetState = false});
        TypesWindow& again = Open();
        QCOMPARE(again.groupCombo->currentIndex(), 1);
        QCOMPARE(again.reportList->header()->sectionSize(0), 123);
        QCOMPARE(again.reportList->header()->sortIndicatorSection(), 2);
        QCOMPARE(again.reportList->header()->sortIndicatorOrder(), order);
        QCOMPARE(again.size(), QSize(600, 380));
        again.close();
        // A damaged file: the defaults, no message.
        drive->ExeDir().Write("norvessa.typ", "z\r\n\r\n-4\r\nx\r\n1,2\r\n9\r\n77\r\n");
        main.reset();
        main = test::OpenMainWindow(*drive, {.resetState = false});
        TypesWindow& third = Open();
        QCOMPARE(third.groupCombo->currentIndex(), 0);
        QCOMPARE(third.reportList->header()->sortIndicatorSection(), 4);
        QVERIFY(ui.messages.isEmpty());
        third.close();
    }
};

QTEST_MAIN(TypesWindowTest)
#include "TypesWindowTest.moc"
