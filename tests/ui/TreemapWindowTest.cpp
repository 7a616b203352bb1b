// The treemap window driven offscreen: it follows the folder shown, a click
// selects the folder in the main window's tree and list, a double click
// shows it and Backspace or the parent button goes back; resizing lays out
// again; unmeasured folders are marked; the keyboard alone does as much.
#include "core/GlobalState.h"
#include "core/cache/FolderLines.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedUi.h"
#include "lib/Messages.h"
#include "support/TempDrive.h"
#include "ui/main/MainWindow.h"
#include "ui/treemap/TreemapPainter.h"
#include "ui/treemap/TreemapWindow.h"
#include "ui/types/TypesWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QtTest>

#include <random>

using namespace nrvs;

namespace {
// The node whose path (and kind) is given, -1 when the map has none.
int Find(const Treemap& map, const std::string& path, TileKind kind = TILE_FOLDER) {
    for (size_t i = 0; i < map.Nodes.size(); ++i)
        if (map.Nodes[i].Kind == kind && NodePath(map, static_cast<int>(i)) == path)
            return static_cast<int>(i);
    return -1;
}

QPoint Centre(const Treemap& map, int node) {
    const TreemapRect& r = map.Nodes[static_cast<size_t>(node)].Rect;
    return QPoint(static_cast<int>(r.X + r.W / 2), static_cast<int>(r.Y + r.H / 2));
}

std::string ShownPath(MainWindow& w) {
    return SplitRow(w.Rows()[0]).Caption;
}
} // namespace

class TreemapWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;

    std::string Root() const { return drive->Root(); }

    std::unique_ptr<MainWindow> OpenMeasured() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        w->onMeasureDrive();
        return w;
    }

    // Opened by its menu item, at a known size; true once laid out.
    static bool OpenMap(MainWindow& w) {
        w.viewTreemapAction->trigger();
        TreemapWindow& t = *w.MapWindow;
        t.resize(640, 480);
        return QTest::qWaitFor(
            [&] {
                return t.isVisible() && !t.Busy() && t.Map().Width == t.mapView->width() &&
                       t.Map().Height == t.mapView->height();
            },
            20000);
    }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        const test::TempDir& d = drive->Dir();
        d.Write("alpha/deep/big.bin", std::string(400000, 'a'));
        d.Write("alpha/own.txt", std::string(100000, 'o'));
        d.Write("beta/small.bin", std::string(150000, 'b'));
        d.Write("top.iso", std::string(200000, 't'));
    }
    void cleanup() {
        SetMessageUi(nullptr);
        drive.reset();
    }

    void menuItemAndFollowingTheFolderShown() {
        auto w = OpenMeasured();
        QCOMPARE(w->viewTreemapAction->text(), QString("ツリーマップ(&T)..."));
        QCOMPARE(w->viewTreemapAction->shortcut(), QKeySequence("Ctrl+T"));
        QVERIFY(w->viewTreemapAction->isEnabled() && w->viewTreemapToolbarAction->isEnabled());
        QVERIFY(OpenMap(*w));
        TreemapWindow& t = *w->MapWindow;
        QCOMPARE(t.windowTitle(), QString("ツリーマップ"));
        QCOMPARE(t.Map().Source->Path, Root());
        QVERIFY2(!t.upButton->isEnabled(), "a root has no parent");
        // Every measured folder, the shown folder's file, the files block.
        const int alpha = Find(t.Map(), Root() + "alpha\\"),
                  deep = Find(t.Map(), Root() + "alpha\\deep\\");
        QVERIFY(alpha > 0 && deep > 0);
        QVERIFY(Find(t.Map(), Root() + "top.iso", TILE_FILE) > 0);
        // The files deeper down are tiles of their own, from the file index.
        QVERIFY(Find(t.Map(), Root() + "alpha\\own.txt", TILE_INDEXED_FILE) > 0);
        QVERIFY(Find(t.Map(), Root() + "alpha\\deep\\big.bin", TILE_INDEXED_FILE) > 0);
        QCOMPARE(
            t.Map().Nodes[static_cast<size_t>(Find(t.Map(), Root() + "top.iso", TILE_FILE))].Group,
            GROUP_ARCHIVE);

        // The main window shows another folder: the map follows.
        w->OpenPath(Root() + "beta\\", false);
        QTRY_VERIFY_WITH_TIMEOUT(
            !t.Busy() && t.Map().Source && t.Map().Source->Path == Root() + "beta\\", 10000);
        QVERIFY(t.pathLabel->text().contains(QString::fromStdString(Root() + "beta\\")));
        QVERIFY(t.upButton->isEnabled());

        // Hidden, it does not follow; shown again, it catches up.
        t.hide();
        w->OpenPath(Root(), false);
        QCOMPARE(t.Map().Source->Path, Root() + "beta\\");
        t.show();
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Source->Path == Root(), 10000);
    }

    void clickSelectsDoubleClickZoomsBackspaceReturns() {
        auto w = OpenMeasured();
        QVERIFY(OpenMap(*w));
        TreemapWindow& t = *w->MapWindow;
        const int deep = Find(t.Map(), Root() + "alpha\\deep\\");
        QVERIFY(deep > 0);
        const QPoint at = Centre(t.Map(), deep);
        // The folder holds one file, whose tile fills it: the point is on the file.
        const int big = Find(t.Map(), Root() + "alpha\\deep\\big.bin", TILE_INDEXED_FILE);
        QCOMPARE(t.NodeAt(at), big);

        // Click: the tree's node of the folder, and the list's row of the
        // item of the folder shown that holds it; the list still shows the
        // root.
        QTest::mouseClick(t.mapView, Qt::LeftButton, {}, at);
        QVERIFY(w->folderTree->currentItem());
        QCOMPARE(w->NodePath(w->folderTree->currentItem()), Root() + "alpha\\deep\\");
        const QModelIndexList sel = w->folderList->selectionModel()->selectedRows();
        QCOMPARE(sel.size(), 1);
        QCOMPARE(SplitRow(w->Rows()[static_cast<size_t>(sel[0].row())]).Caption,
                 std::string("alpha"));
        QCOMPARE(ShownPath(*w), Root());

        // A file of the folder shown selects its row.
        const int iso = Find(t.Map(), Root() + "top.iso", TILE_FILE);
        QTest::mouseClick(t.mapView, Qt::LeftButton, {}, Centre(t.Map(), iso));
        QCOMPARE(SplitRow(w->Rows()[static_cast<size_t>(
                              w->folderList->selectionModel()->selectedRows()[0].row())])
                     .Caption,
                 std::string("top.iso"));

        // Double click: the folder shown in the main window and the map.
        QTest::mouseDClick(t.mapView, Qt::LeftButton, {}, Centre(t.Map(), deep));
        QCOMPARE(ShownPath(*w), Root() + "alpha\\deep\\");
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Source->Path == Root() + "alpha\\deep\\",
                                 10000);
        // A double click on a file does nothing.
        QTest::mouseDClick(t.mapView, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(ShownPath(*w), Root() + "alpha\\deep\\");

        // Backspace: one level up; the parent button: the next.
        QTest::keyClick(t.mapView, Qt::Key_Backspace);
        QCOMPARE(ShownPath(*w), Root() + "alpha\\");
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Source->Path == Root() + "alpha\\", 10000);
        QTest::mouseClick(t.upButton, Qt::LeftButton);
        QCOMPARE(ShownPath(*w), Root());
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Source->Path == Root(), 10000);
        QTest::keyClick(t.mapView, Qt::Key_Backspace);
        QCOMPARE(ShownPath(*w), Root());
    }

    // Without a mouse: the arrows go from tile to tile of the folder shown,
    // each selected in the main list, Enter shows a folder, Backspace goes
    // up; the main window's keys for its other windows and for quitting
    // work while the map has the focus.
    void theKeyboardAlone() {
        auto w = OpenMeasured();
        QVERIFY(OpenMap(*w));
        TreemapWindow& t = *w->MapWindow;
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        QCOMPARE(QApplication::focusWidget(), t.mapView);
        const Treemap& map = t.Map();
        auto selectedCaption = [&] {
            const QModelIndexList rows = w->folderList->selectionModel()->selectedRows();
            return rows.size() == 1
                       ? SplitRow(w->Rows()[static_cast<size_t>(rows[0].row())]).Caption
                       : std::string();
        };
        // The first arrow marks the tile at the top left.
        QTest::keyClick(t.mapView, Qt::Key_Right);
        int at = t.Hovered();
        QVERIFY(at > 0);
        QCOMPARE(map.Nodes[static_cast<size_t>(at)].Parent, 0);
        QCOMPARE(map.Nodes[static_cast<size_t>(at)].Rect.X +
                     map.Nodes[static_cast<size_t>(at)].Rect.Y,
                 0.0);
        // Each arrow goes that way, and every tile of the folder shown is
        // reached; the main list selects the tile's item.
        const int alpha = Find(map, Root() + "alpha\\"), beta = Find(map, Root() + "beta\\"),
                  iso = Find(map, Root() + "top.iso", TILE_FILE);
        QSet<int> reached{at};
        const struct {
            Qt::Key key;
            int dx, dy;
        } arrows[] = {{Qt::Key_Right, 1, 0},
                      {Qt::Key_Down, 0, 1},
                      {Qt::Key_Left, -1, 0},
                      {Qt::Key_Up, 0, -1}};
        for (int round = 0; round < 3; ++round)
            for (const auto& a : arrows) {
                const TreemapRect from = map.Nodes[static_cast<size_t>(at)].Rect;
                QTest::keyClick(t.mapView, a.key);
                const int to = t.Hovered();
                QVERIFY(to > 0);
                QCOMPARE(map.Nodes[static_cast<size_t>(to)].Parent, 0);
                const TreemapRect& r = map.Nodes[static_cast<size_t>(to)].Rect;
                if (to != at) {
                    if (a.dx > 0) QVERIFY(r.X >= from.X + from.W - 0.5);
                    if (a.dx < 0) QVERIFY(r.X + r.W <= from.X + 0.5);
                    if (a.dy > 0) QVERIFY(r.Y >= from.Y + from.H - 0.5);
                    if (a.dy < 0) QVERIFY(r.Y + r.H <= from.Y + 0.5);
                }
                std::string name = NodePath(map, to).substr(Root().size());
                if (name.back() == '\\') name.pop_back();
                QCOMPARE(selectedCaption(), name);
                reached.insert(to);
                at = to;
            }
        QVERIFY(reached.contains(alpha) && reached.contains(beta) && reached.contains(iso));
        // A type lit: the same tiles, the mark stays.
        const QImage before = t.Image();
        TreemapHighlight disks;
        disks.On = true;
        disks.Extension = "iso";
        t.SetHighlight(disks);
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Image() != before, 10000);
        QCOMPARE(t.Hovered(), at);
        // Enter on a file does nothing; on a folder it shows it.
        for (int i = 0; i < 8 && t.Hovered() != iso; ++i)
            QTest::keyClick(t.mapView, arrows[i % 4].key);
        QCOMPARE(t.Hovered(), iso);
        QTest::keyClick(t.mapView, Qt::Key_Return);
        QCOMPARE(ShownPath(*w), Root());
        for (int i = 0; i < 8 && t.Hovered() != alpha; ++i)
            QTest::keyClick(t.mapView, arrows[i % 4].key);
        QCOMPARE(t.Hovered(), alpha);
        QTest::keyClick(t.mapView, Qt::Key_Return);
        QCOMPARE(ShownPath(*w), Root() + "alpha\\");
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Source->Path == Root() + "alpha\\", 10000);
        QTest::keyClick(t.mapView, Qt::Key_Backspace);
        QCOMPARE(ShownPath(*w), Root());

        // Ctrl+Y: the file types; Ctrl+Q: the program ends.
        QTest::keyClick(t.mapView, Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(w->Types->isVisible());
        w->Types->close();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        QTest::keyClick(t.mapView, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!w->isVisible());
    }

    // Names of folders, their subfolders and big files deeper down, at
    // several sizes: each plate lies inside its tile and none covers another
    // (a folder's size ran into its subfolder's name).
    void namesNeverCoverOneAnother() {
        std::mt19937 random(7);
        const char* names[] = {"お気に入り",
                               "ダウンロード",
                               "Documents and Settings",
                               "src",
                               "x",
                               "とても長い名前のフォルダ"};
        for (int round = 0; round < 12; ++round) {
            TreemapSource s;
            s.Path = "X:\\";
            auto line = [](const std::string& path, double tree, double own, int folders) {
                FolderRecord r;
                r.Path = path;
                r.TreeBytes = r.TreeOccupied = tree;
                r.OwnBytes = r.OwnOccupied = own;
                r.OwnFolders = folders;
                return FormatRecord(r);
            };
            std::uniform_real_distribution<double> share(0.05, 1.0);
            for (int top = 0; top < 5; ++top) {
                const std::string folder = s.Path + names[top] + std::string("\\");
                DirEntry e;
                e.Name = names[top] + std::string("\\");
                e.IsDir = 1;
                s.Entries.push_back(e);
                std::vector<double> kids;
                double total = share(random) * 1e6;
                for (int k = 0; k < 3; ++k) {
                    kids.push_back(share(random) * 1e8 * (k == 0 ? 10 : 1));
                    total += kids.back();
                }
                s.Lines.push_back(line(folder, total, total - kids[0] - kids[1] - kids[2], 3));
                for (int k = 0; k < 3; ++k)
                    s.Lines.push_back(
                        line(folder + names[(top + k + 1) % 6] + "\\", kids[k], kids[k], 0));
            }
            const int sizes[][2] = {{640, 480}, {300, 200}, {1280, 800}, {420, 900}};
            const Treemap map =
                BuildTreemap(std::move(s), sizes[round % 4][0], sizes[round % 4][1]);
            const std::vector<TreemapLabel> labels = PlaceTreemapLabels(map, 0);
            QVERIFY(labels.size() >= 5);
            for (size_t i = 0; i < labels.size(); ++i) {
                const TreemapRect& r = map.Nodes[static_cast<size_t>(labels[i].Node)].Rect;
                QVERIFY2(QRectF(r.X, r.Y, r.W, r.H).contains(labels[i].Plate),
                         qPrintable(labels[i].Name));
                for (size_t j = i + 1; j < labels.size(); ++j)
                    QVERIFY2(!labels[i].Plate.intersects(labels[j].Plate),
                             qPrintable(labels[i].Name + " / " + labels[j].Name));
            }
        }
    }

    void resizeColoursTipsAndUnmeasured() {
        auto w = OpenMeasured();
        drive->Dir().Write("gamma/later.bin", std::string(50000, 'g')); // after the measurement
        w->OpenPath(Root(), true);
        QVERIFY(OpenMap(*w));
        TreemapWindow& t = *w->MapWindow;
        const int gamma = Find(t.Map(), Root() + "gamma\\", TILE_UNMEASURED);
        QVERIFY2(gamma > 0, "an unmeasured folder is drawn");
        QCOMPARE(TreemapTip(t.Map(), gamma, 0),
                 QString::fromStdString(Root() + "gamma\\\nサイズ: 未計測 \n占有量: 未計測 "));
        const int deep = Find(t.Map(), Root() + "alpha\\deep\\");
        QVERIFY2(TreemapTip(t.Map(), deep, 0).endsWith("\nサイズ: 390.62 KB\n占有量: 392.00 KB"),
                 qPrintable(TreemapTip(t.Map(), deep, 0)));

        // The picture is drawn: the centre of a file deep down has its
        // kind's hue (a .bin is a program: cyan), and its tip its date.
        const QImage first = t.Image();
        QCOMPARE(first.size(), t.mapView->size());
        const int big = Find(t.Map(), Root() + "alpha\\deep\\big.bin", TILE_INDEXED_FILE);
        QVERIFY(big > 0);
        const QColor c = first.pixelColor(Centre(t.Map(), big));
        QVERIFY2(c.blue() > c.red() && c.green() > c.red(), "programs are cyan by kind");
        QVERIFY(TreemapTip(t.Map(), big, 0).contains("\n更新日時: "));

        // A new size is laid out again.
        t.resize(900, 300);
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Width == t.mapView->width() &&
                                     t.Map().Height == t.mapView->height(),
                                 10000);
        QCOMPARE(t.Image().size(), t.mapView->size());

        // By depth, the picture changes, the layout does not.
        const QImage before = t.Image();
        t.colourCombo->setCurrentIndex(COLOUR_BY_DEPTH);
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Image() != before, 10000);

        // However narrow the window, every entry of the legend is in it
        // (in more lines), by depth and by kind.
        for (const int colours : {COLOUR_BY_DEPTH, COLOUR_BY_KIND}) {
            t.colourCombo->setCurrentIndex(colours);
            for (const int width : {380, 576, 900}) {
                t.resize(width, 400);
                QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Width == t.mapView->width() &&
                                             t.Map().Height == t.mapView->height(),
                                         10000);
                for (const QRect& place : LegendPlaces(t.legend->width(), colours, &t.Map()))
                    QVERIFY2(t.legend->rect().contains(place),
                             qPrintable(QStringLiteral("%1 wide").arg(width)));
            }
        }
        // So in a picture: a narrow one still has the legend's last box.
        const QString picture = QString::fromStdString(drive->ExeDir() / "narrow.png");
        std::string why;
        QVERIFY(WriteTreemapPicture(t.Map().Source, 300, 300, COLOUR_BY_KIND, 0,
                                    picture.toStdString(), why, {}));
        const QImage drawn(picture);
        const QRgb last = LegendColour(10) | 0xFF000000u;
        bool found = false;
        for (int y = 300 - LegendHeightFor(300, COLOUR_BY_KIND); y < 300 && !found; ++y)
            for (int x = 0; x < 300 && !found; ++x)
                found = drawn.pixel(x, y) == last;
        QVERIFY2(found, "no box of the legend's last entry in a 300-pixel picture");
        t.resize(900, 300);
        QTRY_VERIFY_WITH_TIMEOUT(!t.Busy() && t.Map().Width == t.mapView->width(), 10000);

        // Hovering marks the node under the pointer.
        const int alpha = Find(t.Map(), Root() + "alpha\\own.txt", TILE_INDEXED_FILE);
        const QPoint at = Centre(t.Map(), alpha);
        QMouseEvent move(QEvent::MouseMove, at, t.mapView->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(t.mapView, &move);
        QCOMPARE(t.Hovered(), alpha);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(t.mapView, &leave);
        QCOMPARE(t.Hovered(), -1);
    }

    void opensWhollyOnTheMainWindowsScreen() {
        auto w = OpenMeasured();
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        w->move(avail.topLeft());
        w->viewTreemapAction->trigger();
        TreemapWindow& t = *w->MapWindow;
        QVERIFY(t.isVisible());
        // Where beside the main window: LayoutTest, at several screen sizes.
        QVERIFY2(avail.contains(t.frameGeometry()), "not past any edge of the screen");
    }

    void aDriveWithoutMeasurementAndNoDrive() {
        auto w = test::OpenMainWindow(*drive);
        QVERIFY(OpenMap(*w));
        TreemapWindow& t = *w->MapWindow;
        // Nothing measured: every folder is marked, the file has its size.
        QVERIFY(Find(t.Map(), Root() + "alpha\\", TILE_UNMEASURED) > 0);
        QVERIFY(Find(t.Map(), Root() + "top.iso", TILE_FILE) > 0);
        QCOMPARE(t.NodeAt(QPoint(-3, 4)), -1);
        QCOMPARE(t.NodeAt(QPoint(t.mapView->width() + 5, 4)), -1);
    }
};

QTEST_MAIN(TreemapWindowTest)
#include "TreemapWindowTest.moc"
