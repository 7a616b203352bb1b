#include "core/cache/Cache.h"
#include "core/offline/Snapshot.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "support/MainWindowFixture.h"
#include "support/ResetGlobalState.h"
#include "support/ScriptedUi.h"
#include "ui/main/Images.h"
#include "ui/main/RowModel.h"
#include "ui/main/SplashWindow.h"
#include "ui/files/FilesWindow.h"
#include "ui/main/FolderPickerDialog.h"
#include "ui/main/MainWindow.h"
#include "ui/rank/RankingWindow.h"
#include "ui/treemap/TreemapWindow.h"
#include "ui/types/TypesWindow.h"
#include "ui/running/RunningDialog.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;

namespace {
QStringList Captions(const MainWindow& w) {
    QStringList out;
    for (const auto& r : w.Rows())
        out << QString::fromStdString(SplitRow(r).Caption);
    return out;
}

QList<int> Images(const MainWindow& w) {
    QList<int> out;
    for (const auto& r : w.Rows())
        out << SplitRow(r).Image;
    return out;
}
} // namespace

class MainBrowseTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;

    std::string Root() const { return drive->Root(); }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        const test::TempDir& d = drive->Dir();
        d.Write("alpha/a.txt", std::string(1000, 'a'));
        d.Write("Beta/b.txt", std::string(5000, 'b'));
        d.MakeDir("gamma");
        d.Write("one.txt", "1");
        d.Write("two.txt", std::string(4097, '2'));
    }
    void cleanup() {
        SetMessageUi(nullptr);
        drive.reset();
    }

    void rootRowsWithAndWithoutFiles() {
        auto w = test::OpenMainWindow(*drive, {.settings = std::string(11, '\n') + "1\r\n"});
        QCOMPARE(Global().ShowFiles, 1);
        // The drive's root is a folder, not a volume's root: nothing reserved.
        QCOMPARE(Images(*w), (QList<int>{10, -1, 44, 7, 7, 7, -1, 20, 9, 9}));
        QCOMPARE(Captions(*w),
                 (QStringList{QString::fromStdString(Root()), "", "総計 - フォルダ -", "alpha",
                              "Beta", "gamma", "", "総計 - ファイル -", "one.txt", "two.txt"}));
        RowFields fileTotal = SplitRow(w->Rows()[7]);
        QCOMPARE(fileTotal.Size, std::string("4098"));
        QCOMPARE(fileTotal.Occupied, std::string("12288"));
        RowFields header = SplitRow(w->Rows()[0]);
        // Nothing measured yet: the folder's own counts, the subtree's unknown.
        QCOMPARE(header.Files, std::string("2=-2"));
        QCOMPARE(header.Folders, std::string("3=-2"));
        QCOMPARE(header.Occupied, std::string("-1"));

        w->onViewFileList();
        QCOMPARE(Global().ShowFiles, 0);
        QCOMPARE(Images(*w), (QList<int>{10, -1, 44, 7, 7, 7, -1, 20}));
        QCOMPARE(SplitRow(w->Rows()[7]).Size,
                 std::string("4098")); // the file total counts hidden files

        // A subfolder's header ends with a backslash.
        w->OpenPath(Root() + "alpha\\", false);
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "alpha\\"));
    }

    void aDriveThatIsNotHereIsBrowsedFromItsLastMeasurement() {
        auto w = test::OpenMainWindow(*drive);
        w->onMeasureDrive();
        w->OpenPath(Root(), true);
        const std::vector<std::string> rootRows = w->Rows();
        w->OpenPath(Root() + "alpha\\", false);
        const std::vector<std::string> alphaRows = w->Rows();
        w.reset();

        // The disk is unplugged: its folder is gone, its letter stays.
        std::string native = drive->Native();
        native.pop_back();
        const std::string away = native + ".away";
        QCOMPARE(std::rename(native.c_str(), away.c_str()), 0);
        auto restore = qScopeGuard([&] { std::rename(away.c_str(), native.c_str()); });
        ui = test::ScriptedUi{};
        w = test::OpenMainWindow(*drive);
        QVERIFY(Global().CurrentDrive && Global().CurrentDrive->Offline);
        auto text = [](const std::vector<std::string>& rows) {
            QStringList out;
            for (const auto& r : rows)
                out << QString::fromStdString(r);
            return out.join('\n');
        };
        // The drive's root is a folder: its snapshot shows what was measured
        // and nothing reserved, as the drive did while it was here.
        QCOMPARE(text(w->Rows()), text(rootRows));
        QCOMPARE(w->statusPanels[1]->text(), QStringLiteral("オフライン"));
        QVERIFY(w->statusPanels[1]->toolTip().contains(QStringLiteral("の計測")));
        QVERIFY(w->DriveButtons[static_cast<size_t>(drive->Letter() - 'A')]->toolTip().contains(
            QStringLiteral("オフライン")));
        QVERIFY(w->folderTree->topLevelItem(0)->text(0).contains(QStringLiteral("オフライン")));
        QCOMPARE(w->folderTree->topLevelItem(0)->childCount(), 3);
        w->OpenPath(Root() + "alpha\\", false);
        QCOMPARE(text(w->Rows()), text(alphaRows));

        // What needs the disk is off, and says why.
        w->folderList->setFocus();
        w->folderList->selectRow(3);
        for (QAction* a :
             {w->measureDriveAction, w->measureDriveToolbarAction, w->measureFolderAction,
              w->measureSimulationAction, w->toolsDeleteAction, w->toolsCopyAction,
              w->toolsMoveAction, w->toolsFileManagerAction, w->toolsOpenWithAction,
              w->viewPropertiesAction, w->viewDriveInfoAction}) {
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
            QCOMPARE(a->toolTip(), QString::fromUtf8(kOfflineCommandTip));
        }
        // The measurement's windows work from the snapshot.
        for (QAction* a :
             {w->measureRankingAction, w->viewTreemapAction, w->toolsLargestFilesAction,
              w->toolsFileTypesAction, w->toolsExportAction, w->toolsSearchAction})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        w->onViewTreemap();
        QTRY_VERIFY(!w->MapWindow->Busy() && !w->MapWindow->Map().Nodes.empty());
        w->OpenPath(Root(), false);
        w->onToolsLargestFiles();
        QTRY_COMPARE(w->Files->reportList->topLevelItemCount(), 4);
        QCOMPARE(w->Files->reportList->topLevelItem(0)->text(0), QStringLiteral("b.txt"));
        w->onToolsFileTypes();
        QTRY_VERIFY(w->Types->reportList->topLevelItemCount() > 0);
        int ranked = -1;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            if (!w->Ranking->isVisible() || w->Ranking->Computations() < 1) return;
            look.stop();
            ranked = w->Ranking->reportList->topLevelItemCount();
            w->Ranking->close();
        });
        look.start(20);
        w->onMeasureRanking();
        QCOMPARE(ranked, 2); // alpha and Beta: the empty gamma ranks nowhere
        // A measurement asked for anyway (a shortcut that slipped through)
        // does nothing and says nothing.
        w->onMeasureDrive();
        w->onMeasureFolder();
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("\n")));
        QVERIFY(ui.questions.isEmpty());
        w->MapWindow->close();
        w->Files->close();
        w->Types->close();
        w.reset();

        // Its folder given at start opens from the snapshot too, unasked.
        test::ResetGlobalState();
        MainWindow started(StringList{Root() + "alpha"});
        started.show();
        started.refreshTimer->stop();
        started.onRefreshTimer(true);
        QCOMPARE(text(started.Rows()), text(alphaRows));
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("\n")));
        QVERIFY(ui.questions.isEmpty());
    }

    void aScanOfAnotherMachineIsTakenInAndWrittenOut() {
        auto w = test::OpenMainWindow(*drive);
        const std::string scan = drive->ExeDir() / "server.json";
        const std::string bad = drive->ExeDir() / "bad.json";
        drive->ExeDir().Write(
            "server.json",
            "[1,2,{\"progname\":\"gdu\",\"progver\":\"5.25\",\"timestamp\":1700000000},"
            "[{\"name\":\"/srv\"},{\"name\":\"f\",\"asize\":100,\"dsize\":4096},"
            "[{\"name\":\"www\"},{\"name\":\"g\",\"asize\":9000,\"dsize\":12288}],"
            "[{\"name\":\"locked\",\"read_error\":true}]]]");
        drive->ExeDir().Write("bad.json",
                              "[1,2,{},[{\"name\":\"/srv\"},{\"name\":\"f\",\"asize\":-1}]]");
        std::string chosen;
        w->ScanFileChooser = [&](bool) { return chosen; };

        // Damaged input: said so, and no letter is taken.
        chosen = bad;
        const DriveRecord* before = Global().CurrentDrive;
        w->onFileImportScan();
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].contains(QStringLiteral("何も書き込んでいません")));
        QCOMPARE(Global().CurrentDrive, before);

        chosen = scan;
        w->onFileImportScan();
        QCOMPARE(ui.messages.size(), 2);
        QVERIFY2(ui.messages[1].contains(QStringLiteral("として取り込みました")),
                 qPrintable(ui.messages[1]));
        QVERIFY(ui.messages[1].contains(QStringLiteral("locked")));
        const DriveRecord* imported = Global().CurrentDrive;
        QVERIFY(imported && imported->Offline);
        QCOMPARE(w->statusPanels[1]->text(), QStringLiteral("取り込み"));
        QVERIFY(w->statusPanels[1]->toolTip().contains(QStringLiteral("/srv")));
        QCOMPARE(Captions(*w).mid(3, 2), (QStringList{"locked", "www"}));
        QCOMPARE(SplitRow(w->Rows()[4]).Occupied, std::string("12288"));
        // An import is as full as what was scanned: no reserved space.
        QCOMPARE(SplitRow(w->Rows().back()).Occupied, std::string("0"));

        // Written back out in the same format, from the cache and the index.
        const std::string out = drive->ExeDir() / "again.json";
        chosen = out;
        w->onFileExportNcdu();
        QVERIFY2(ui.messages.last().contains(QStringLiteral("書き出しました")),
                 qPrintable(ui.messages.last()));
        QVERIFY(drive->ExeDir().Read("again.json").rfind("[1,2,", 0) == 0);
    }

    void theFolderBrowserShowsDrivesByLetterAndOpensAtTheFolder() {
        auto w = test::OpenMainWindow(*drive);
        FolderPickerDialog browse(QStringLiteral("コピー先"), w.get());
        browse.Start(Root() + "alpha\\");
        QString letters;
        for (int i = 0; i < browse.folderTree->topLevelItemCount(); ++i)
            letters += browse.folderTree->topLevelItem(i)->text(0).left(2) + ' ';
        QVERIFY2(letters.contains(QString(QChar(drive->Letter())) + ':'), qPrintable(letters));
        QCOMPARE(browse.Chosen(), Root() + "alpha\\");
        QCOMPARE(browse.pathLabel->text(), QString::fromStdString(Root() + "alpha\\"));
        QTreeWidgetItem* root = browse.folderTree->currentItem()->parent();
        QVERIFY(root);
        QStringList names;
        for (int i = 0; i < root->childCount(); ++i)
            names << root->child(i)->text(0);
        QCOMPARE(names, (QStringList{"alpha", "Beta", "gamma"}));
        // A folder that is not there: as far down as it goes, the drive.
        browse.Start(Root() + "nowhere\\deeper\\");
        QCOMPARE(browse.Chosen(), Root());
        QVERIFY(browse.okButton->isEnabled());
    }

    void unreadableFoldersAreReportedAndTheirTipSaysSo() {
        if (::geteuid() != 0) QSKIP("needs root to measure as another user");
        const test::TempDir& d = drive->Dir();
        d.Write("gamma/hidden.bin", std::string(9000, 'g'));
        ::chmod(drive->Native().c_str(), 0755);
        ::chmod(drive->ExeDir().Path().c_str(), 0777);
        ::chmod((d / "gamma").c_str(), 0);
        auto w = test::OpenMainWindow(*drive);
        // Measured with an ordinary user's rights, for which gamma is closed.
        QCOMPARE(::seteuid(65534), 0);
        w->onMeasureDrive();
        QCOMPARE(::seteuid(0), 0);
        ::chmod((d / "gamma").c_str(), 0755);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].startsWith("読み取れなかったフォルダが 1 個"));
        QVERIFY(ui.messages[0].contains(QString::fromStdString(Root() + "gamma\\")));
        const int gamma = static_cast<int>(Captions(*w).indexOf("gamma"));
        const int alpha = static_cast<int>(Captions(*w).indexOf("alpha"));
        QVERIFY(gamma > 0 && alpha > 0);
        QCOMPARE(SplitRow(w->Rows()[static_cast<size_t>(gamma)]).Size, std::string("0"));

        auto tipOf = [&](int row) {
            QTableView* view = w->folderList;
            const QModelIndex index = view->model()->index(row, 1);
            view->scrollTo(index);
            QStyleOptionViewItem option;
            option.initFrom(view);
            const QPoint at = view->visualRect(index).center();
            QHelpEvent tip(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
            view->itemDelegate()->helpEvent(&tip, view, option, index);
            return tip.isAccepted() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipOf(gamma), QString("読み取れなかったフォルダ\ngamma >> "
                                       "アクセスできないため、中身は計測されていません"));
        QVERIFY(tipOf(alpha).startsWith("クラスタギャップ\nalpha >> "));

        // Measured again with the folder open, it is an ordinary folder.
        ui.messages.clear();
        w->onMeasureDrive();
        QVERIFY(ui.messages.isEmpty());
        QVERIFY(tipOf(gamma).startsWith("クラスタギャップ\ngamma >> "));
    }

    void measuringFromTheWindowWritesTheCacheAndShowsSizes() {
        auto w = test::OpenMainWindow(*drive);
        QCOMPARE(SplitRow(w->Rows()[3]).Size, std::string("-1")); // not measured yet
        w->onMeasureDrive();
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(ui.questions[0].endsWith("ドライブを計測しますか？"));
        const std::string cache =
            drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt");
        StringList lines;
        QCOMPARE(LoadLines(lines, cache), 1);
        QCOMPARE(lines.size(), size_t(5));
        QCOMPARE(Captions(*w)[3], QString("alpha"));
        QCOMPARE(SplitRow(w->Rows()[3]).Size, std::string("1000"));
        QCOMPARE(SplitRow(w->Rows()[3]).Files, std::string("1=1"));
        // The root of a folder given a letter is what was measured in it, not
        // the volume's used space; Total and Free are the volume's, and their
        // tip names it.
        QCOMPARE(SplitRow(w->Rows()[0]).Occupied,
                 FloatText(TextToFloat(SplitRow(w->Rows()[2]).Occupied, -1) +
                           TextToFloat(SplitRow(w->Rows()[7]).Occupied, -1)));
        QVERIFY(!Images(*w).contains(45));
        QVERIFY(w->statusPanels[2]->text().startsWith("Total  "));
        QVERIFY(w->statusPanels[3]->text().startsWith("Free  "));
        const QString volume =
            QString::fromStdString(platform::DriveMountPoint(Root())) + QStringLiteral(" の値");
        QVERIFY2(w->statusPanels[2]->toolTip().contains(volume),
                 qPrintable(w->statusPanels[2]->toolTip()));
        QCOMPARE(w->statusPanels[3]->toolTip(), w->statusPanels[2]->toolTip());
        QVERIFY(w->statusPanels[4]->text().startsWith("Snap.  "));
        QVERIFY(w->statusPanels[5]->text().startsWith("Lap.  00:00:0"));
        QCOMPARE(w->statusPanels[0]->text(), QString(QChar(drive->Letter())));

        // The cache file deleted while the drive is shown: reopening shows the
        // drive unmeasured, without a message.
        ::unlink(cache.c_str());
        w->OpenPath(Root(), true);
        QCOMPARE(SplitRow(w->Rows()[3]).Size, std::string("-1"));
        QVERIFY(ui.messages.isEmpty());
        QVERIFY(w->statusPanels[4]->text().isEmpty());
    }

    void measuringTheFolderShownReplacesOnlyItsLines() {
        auto w = test::OpenMainWindow(*drive);
        w->onMeasureDrive();
        drive->Dir().Write("alpha/more.txt", std::string(3000, 'm'));
        w->OpenPath(Root() + "alpha\\", false);
        ui.questions.clear();
        w->onMeasureFolder();
        QCOMPARE(ui.questions.size(), 1);
        QCOMPARE(ui.questions[0], QString::fromStdString(Root() + "alpha\\を計測しますか？"));
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "alpha\\"));
        QCOMPARE(SplitRow(w->Rows()[0]).Size, std::string("4000"));
        // The root's totals take what the folder gained.
        w->OpenPath(Root(), false);
        QCOMPARE(SplitRow(w->Rows()[3]).Size, std::string("4000"));
        QCOMPARE(Global().Folders.FindPath(Root())->TreeBytes, 1000.0 + 5000 + 1 + 4097 + 3000);
    }

    void sortingByColumnsAndCommands() {
        drive->Dir().Write("delta/d.txt", std::string(1000, 'd'));
        auto w = test::OpenMainWindow(*drive);
        w->onMeasureDrive();
        drive->Dir().MakeDir("unmeasured");
        w->OpenPath(Root(), true);
        // Sort by size descending: equal sizes by descending name, the
        // unmeasured folder last.
        w->SetSort(1, 1);
        QStringList folders;
        for (int i = 0; i < static_cast<int>(w->Rows().size()); ++i)
            if (SplitRow(w->Rows()[static_cast<size_t>(i)]).Image == 7) folders << Captions(*w)[i];
        QCOMPARE(folders, (QStringList{"Beta", "delta", "alpha", "gamma", "unmeasured"}));

        // Column 0 while sorting by size goes back to names, keeping the direction.
        w->onListColumnClick(0);
        QCOMPARE(Global().SortKey, 0);
        QCOMPARE(Global().SortDescending, 1);
        w->onListColumnClick(0);
        QCOMPARE(Global().SortDescending, 0); // column 0 while sorting by name flips the direction
        w->onListColumnClick(3);
        QCOMPARE(Global().SortKey, 1);
        QCOMPARE(Global().SortDescending, 0); // column 3 switches to size, direction kept
        w->onListColumnClick(3);
        QCOMPARE(Global().SortDescending, 1);
        w->onListColumnClick(1);
        QCOMPARE(Global().SortDescending, 1);
        QVERIFY(w->viewSortBySizeAction->isChecked());
        QVERIFY(w->viewDescendingToolbarAction->isChecked());
        QVERIFY(!w->viewAscendingAction->isChecked());
    }

    void anyNonZeroSortDirectionIsDescending() {
        // Line 13 holds 2: descending, and the menu says so.
        auto w = test::OpenMainWindow(*drive, {.settings = std::string(13, '\n') + "2\r\n"});
        QVERIFY(w->viewDescendingAction->isChecked());
        QVERIFY(!w->viewAscendingAction->isChecked());
        QStringList folders;
        for (int i = 0; i < static_cast<int>(w->Rows().size()); ++i)
            if (SplitRow(w->Rows()[static_cast<size_t>(i)]).Image == 7) folders << Captions(*w)[i];
        QCOMPARE(folders, (QStringList{"gamma", "Beta", "alpha"}));
    }

    void stopDuringMeasurementSavesAPartialCache() {
        const std::string base = drive->Native();
        for (int i = 0; i < 40; ++i) {
            std::string a = base + "big" + std::to_string(i);
            ::mkdir(a.c_str(), 0755);
            for (int k = 0; k < 40; ++k)
                ::mkdir((a + "/s" + std::to_string(k)).c_str(), 0755);
        }
        auto w = test::OpenMainWindow(*drive);
        // Press STOP as soon as the running dialog is up.
        QTimer presser;
        connect(&presser, &QTimer::timeout, [&] {
            if (w->Running->isVisible() && w->Running->stopButton->isEnabled())
                QTest::mouseClick(w->Running->stopButton, Qt::LeftButton);
        });
        presser.start(1);
        w->onMeasureDrive();
        presser.stop();
        QVERIFY(!w->Running->stopButton->isEnabled());
        StringList lines;
        QCOMPARE(LoadLines(lines,
                           drive->ExeDir() / ("NRVS_" + std::string(1, drive->Letter()) + ".txt")),
                 1);
        std::time_t t;
        QVERIFY(!lines.empty() && HeaderStart(lines[0], t));
        QVERIFY(lines.size() < 1 + 1 + 5 + 40 + 1600);
        QVERIFY(!w->Running->isVisible());
    }

    void barsAndColumnsFollowTheFlags() {
        std::string params(24, '\n');
        params += "011\r\n1011\r\n";
        auto w = test::OpenMainWindow(*drive, {.settings = params});
        QCOMPARE(w->driveBar->width(), 2);
        QVERIFY(w->toolPanel->isVisible());
        QVERIFY(w->statusBar()->isVisible());
        QCOMPARE(w->folderList->columnWidth(2), 0);
        QVERIFY(w->folderList->columnWidth(1) > 0);
        QCOMPARE(w->folderList->horizontalHeader()->sectionResizeMode(2), QHeaderView::Fixed);
        // The graph value is then the file size.
        RowFields f = SplitRow(w->Rows()[0]);
        QCOMPARE(f.Graph, f.Size);
    }

    void notReadyAndVanishedFoldersNeverCrash() {
        auto w = test::OpenMainWindow(*drive);
        // A folder removed after the tree was filled shows an empty view.
        w->OpenPath(Root() + "gamma\\", false);
        ::rmdir((drive->Native() + "gamma").c_str());
        w->FillList(w->folderTree->currentItem());
        QCOMPARE(Images(*w).first(), 10);
        w->OpenPath(Root() + "no\\such\\folder\\", false);
        QCOMPARE(Captions(*w).first(),
                 QString::fromStdString(Root())); // stops at the deepest existing folder

        // The drive's folder vanishes: selecting it tells the user.
        const std::string native = drive->Native();
        const std::string moved = native.substr(0, native.size() - 1) + "-moved";
        QCOMPARE(::rename(native.c_str(), moved.c_str()), 0);
        w->OpenPath(Root(), true);
        ::rename(moved.c_str(), native.c_str());
        QVERIFY(!ui.messages.isEmpty() || Global().CurrentDrive->Index != drive->Letter() - 'A');
        QVERIFY(w->Rows().empty());
    }

    void startUpOpensTheStartPathAndShowsTheSplash() {
        // StartDrive names the test drive (1 = A:); the splash is on.
        std::string params(21, '\n');
        params += std::to_string(drive->Letter() - 'A' + 1) + "\r\n";
        drive->ExeDir().Write("norvessa.prm", params);
        test::ResetGlobalState();
        {
            MainWindow w(StringList{});
            w.show();
            w.refreshTimer->stop();
            w.onRefreshTimer(true);
            QVERIFY(w.Splash->isVisible());
            QCOMPARE(Captions(w).first(), QString::fromStdString(Root()));
            QTRY_VERIFY_WITH_TIMEOUT(!w.Splash->isVisible(), 3000);
        }
        // A start argument (a native folder, as a file manager passes it)
        // wins over StartDrive.
        test::ResetGlobalState();
        MainWindow w(StringList{drive->Native() + "alpha"});
        w.show();
        w.refreshTimer->stop();
        w.onRefreshTimer(true);
        QCOMPARE(Captions(w).first(), QString::fromStdString(Root() + "alpha\\"));
        // Without the timer (after a network drive is gone) the argument is ignored.
        w.onRefreshTimer(false);
        QCOMPARE(Captions(w).first(), QString::fromStdString(Root()));
    }

    // A folder given on the command line, in each form a user or a file
    // manager gives it, is opened on its drive, asked about and measured
    // alone; one that cannot be opened is said so, and the start drive opens.
    void aFolderGivenAtStartIsAskedAboutAndMeasuredAlone_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("opened"); // below the root
        QTest::addColumn<QString>("told");
        QTest::newRow("native") << "native"
                                << "alpha\\"
                                << "";
        QTest::newRow("dots and a slash") << "dots"
                                          << "alpha\\"
                                          << "";
        QTest::newRow("relative") << "relative"
                                  << "alpha\\"
                                  << "";
        QTest::newRow("program form") << "program"
                                      << "alpha\\"
                                      << "";
        QTest::newRow("link to the folder") << "link"
                                            << "alpha\\"
                                            << "";
        QTest::newRow("the drive's root") << "root"
                                          << ""
                                          << "";
        QTest::newRow("missing") << "missing"
                                 << ""
                                 << "見つかりません";
        QTest::newRow("a file") << "file"
                                << ""
                                << "フォルダではありません";
    }
    void aFolderGivenAtStartIsAskedAboutAndMeasuredAlone() {
        QFETCH(QString, given);
        QFETCH(QString, opened);
        QFETCH(QString, told);
        const std::string native = drive->Native();
        std::string lower = Root() + "alpha";
        lower[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[0])));
        const std::string link = drive->ExeDir() / "to-alpha";
        QCOMPARE(::symlink((native + "alpha").c_str(), link.c_str()), 0);
        std::string unused;
        for (int n = 3; n < 26 && unused.empty(); ++n)
            if (platform::DriveRoots()[static_cast<size_t>(n)].empty())
                unused = std::string(1, static_cast<char>('A' + n));
        const std::map<QString, std::string> args = {{"native", native + "alpha"},
                                                     {"dots", native + "gamma/../alpha/"},
                                                     {"relative", "alpha"},
                                                     {"program", lower},
                                                     {"link", link},
                                                     {"root", native},
                                                     {"missing", native + "nope"},
                                                     {"file", native + "one.txt"},
                                                     {"unused", unused + ":\\alpha"}};
        char here[4096];
        QVERIFY(::getcwd(here, sizeof here));
        QCOMPARE(::chdir(native.c_str()), 0);
        // No splash; StartDrive names the test drive (1 = A:).
        drive->ExeDir().Write("norvessa.prm", std::string(20, '\n') + "0\n" +
                                                  std::to_string(drive->Letter() - 'A' + 1) + "\n");
        test::ResetGlobalState();
        MainWindow w(StringList{args.at(given)});
        w.show();
        w.refreshTimer->stop();
        w.onRefreshTimer(true);
        QCOMPARE(::chdir(here), 0);

        const std::string folder = Root() + opened.toStdString();
        QCOMPARE(Captions(w).value(0), QString::fromStdString(folder));
        QCOMPARE(ui.questions,
                 QStringList{
                     QString::fromStdString(
                         opened.isEmpty() ? std::string(1, drive->Letter()) + "ドライブ" : folder) +
                     "を計測しますか？"});
        if (told.isEmpty()) {
            QCOMPARE(ui.messages, QStringList{});
        } else {
            QCOMPARE(ui.messages.size(), 1);
            QVERIFY2(ui.messages[0].contains(told), qPrintable(ui.messages[0]));
            QVERIFY(ui.messages[0].contains("起動時のドライブを開きます"));
        }
        // What was measured, in the list and in the cache file.
        StringList lines;
        QCOMPARE(LoadLines(lines, CacheFileName(*Global().CurrentDrive)), 1);
        auto cached = [&](const std::string& path) {
            return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.compare(0, path.size() + 3, path + " > ") == 0;
            });
        };
        QVERIFY(Global().Folders.IndexOfPath(Root() + "alpha\\") >= 0);
        QVERIFY(cached(Root() + "alpha\\"));
        QCOMPARE(Global().Folders.IndexOfPath(Root() + "Beta\\") >= 0, opened.isEmpty());
        QCOMPARE(cached(Root() + "Beta\\"), opened.isEmpty());
    }

    void clicksArrivingDuringAFillAreSafe() {
        drive->Dir().MakeDir("alpha/inner");
        auto w = test::OpenMainWindow(*drive);
        QTreeWidgetItem* root = w->folderTree->topLevelItem(0);
        QToolButton* button = w->DriveButtons[static_cast<size_t>(drive->Letter() - 'A')];
        // A click on the drive button queued while a folder is listed: the
        // tree is rebuilt under the fill.
        w->folderTree->setCurrentItem(root->child(0));
        QTimer::singleShot(0, button, [button] { button->click(); });
        w->onTreeClick();
        QCoreApplication::processEvents();
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root()));
        // The same during the expansion of a folder.
        root = w->folderTree->topLevelItem(0);
        QTimer::singleShot(0, button, [button] { button->click(); });
        w->folderTree->expandItem(root->child(0));
        QCoreApplication::processEvents();
        QVERIFY(w->folderTree->topLevelItem(0) != nullptr);

        // Right-click on empty tree space leaves no node selected; sorting
        // and the file list still apply to the folder shown.
        w->OpenPath(Root(), true);
        const QPoint empty(5, w->folderTree->viewport()->height() - 3);
        QTest::mouseClick(w->folderTree->viewport(), Qt::RightButton, {}, empty);
        QVERIFY(w->folderTree->currentItem() == nullptr);
        w->popupMenu->hide();
        const QString first = Captions(*w)[3];
        w->onListColumnClick(0);
        QVERIFY(Captions(*w)[3] != first);
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root()));
    }

    void deepFolderNamesStayInView() {
        // Nine levels of long names: far wider than the tree.
        std::string rel, program = Root();
        QStringList names;
        for (int level = 1; level <= 9; ++level) {
            const QString name = QStringLiteral("深いフォルダ%1-abc").arg(level);
            names << name;
            rel += name.toStdString() + "/";
            program += name.toStdString() + "\\";
        }
        drive->Dir().MakeDir(rel + "leaf");
        auto w = test::OpenMainWindow(*drive);
        w->resize(640, 420);
        w->OpenPath(program, false);
        QTreeWidgetItem* node = w->folderTree->currentItem();
        QVERIFY(node);
        QCOMPARE(node->text(0), names.last());
        QCOMPARE(Captions(*w).first(), QString::fromStdString(program));
        QCoreApplication::processEvents();

        // The name, not only its row, lies inside the viewport.
        const QFontMetrics fm(w->folderTree->font());
        auto nameInView = [&](QTreeWidgetItem* n) {
            const QRect r = w->folderTree->visualItemRect(n);
            const int right = r.x() + 16 + fm.horizontalAdvance(n->text(0));
            return r.x() >= 0 && right <= w->folderTree->viewport()->width() && r.y() >= 0 &&
                   r.bottom() < w->folderTree->viewport()->height();
        };
        QVERIFY(w->folderTree->horizontalScrollBar()->maximum() > 0);
        QVERIFY2(nameInView(node), qPrintable(QStringLiteral("node at %1, viewport %2")
                                                  .arg(w->folderTree->visualItemRect(node).x())
                                                  .arg(w->folderTree->viewport()->width())));
        // Its text is drawn: the selected row holds more than one colour.
        const QImage shot = w->folderTree->viewport()->grab().toImage();
        const QRect row =
            w->folderTree->visualItemRect(node).intersected(w->folderTree->viewport()->rect());
        QSet<QRgb> colours;
        for (int x = row.left(); x <= row.right(); ++x)
            colours.insert(shot.pixel(x, row.center().y()));
        QVERIFY(colours.size() > 2);

        // Going back up with the keyboard keeps each parent in view; back to
        // the root the tree shows its beginning again.
        w->folderTree->setFocus();
        for (int up = 0; up < 9; ++up) {
            QTest::keyClick(w->folderTree, Qt::Key_Backspace);
            QVERIFY(nameInView(w->folderTree->currentItem()));
        }
        QCOMPARE(w->folderTree->currentItem(), w->folderTree->topLevelItem(0));
        QCOMPARE(w->folderTree->horizontalScrollBar()->value(), 0);

        // Tips: a node's whole path in the tree, the folder's whole path on
        // the list's header row.
        QCOMPARE(node->data(0, Qt::ToolTipRole).toString(), QString::fromStdString(program));
        w->OpenPath(program, false);
        QVERIFY(w->folderList->columnWidth(0) <
                fm.horizontalAdvance(QString::fromStdString(program)));
        const QModelIndex header = w->folderList->model()->index(0, 0);
        const QPoint at = w->folderList->visualRect(header).center();
        QHelpEvent tip(QEvent::ToolTip, at, w->folderList->viewport()->mapToGlobal(at));
        QStyleOptionViewItem option;
        option.initFrom(w->folderList);
        QVERIFY(w->folderList->itemDelegate()->helpEvent(&tip, w->folderList, option, header));
        QVERIFY(QToolTip::text().contains(QString::fromStdString(program)));
        QToolTip::hideText();
    }

    void folderNodesShowTheirSelectedImage() {
        auto w = test::OpenMainWindow(*drive);
        QTreeWidgetItem* alpha = w->folderTree->topLevelItem(0)->child(0);
        QCOMPARE(alpha->text(0), QString("alpha"));
        auto image = [](const QIcon& icon, QIcon::Mode mode) {
            return icon.pixmap(16, 16, mode).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        QCOMPARE(image(alpha->icon(0), QIcon::Normal), image(ImageIcon(7), QIcon::Normal));
        QCOMPARE(image(alpha->icon(0), QIcon::Selected), image(ImageIcon(6), QIcon::Normal));
    }

    void doubleClickOnAFileWithoutApplicationSaysSo() {
        // A desktop with no applications at all.
        test::TempDir desktop;
        const QByteArray saved[4] = {qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_CONFIG_DIRS"),
                                     qgetenv("XDG_DATA_HOME"), qgetenv("XDG_DATA_DIRS")};
        const char* names[4] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                "XDG_DATA_DIRS"};
        for (const char* n : names)
            qputenv(n, QByteArray::fromStdString(desktop / n));
        auto w = test::OpenMainWindow(*drive, {.settings = std::string(11, '\n') + "1\r\n"});
        QCOMPARE(Captions(*w)[8], QString("one.txt"));
        w->folderList->setFocus();
        // Header and total rows: nothing happens.
        for (int row : {0, 2, 7}) {
            w->folderList->selectRow(row);
            w->onListDoubleClick();
        }
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root()));
        w->folderList->selectRow(8);
        w->onListDoubleClick();
        for (int i = 0; i < 4; ++i) {
            if (saved[i].isNull())
                qunsetenv(names[i]);
            else
                qputenv(names[i], saved[i]);
        }
        QCOMPARE(ui.messages, QStringList{QString::fromStdString(
                                  "このファイルを開くアプリケーションが登録されていません。\n\n" +
                                  Root() + "one.txt")});
        QCOMPARE(ui.styles, QList<int>{MB_ICONINFORMATION});
        // The list still shows the folder.
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root()));
    }

    void keyboardNavigation() {
        drive->Dir().MakeDir("alpha/inner");
        auto w = test::OpenMainWindow(*drive);
        w->folderTree->setFocus();
        QTreeWidgetItem* root = w->folderTree->topLevelItem(0);
        QVERIFY(root);
        w->folderTree->setCurrentItem(root->child(0));
        QCOMPARE(w->folderTree->currentItem()->text(0), QString("alpha"));
        QTest::keyClick(w->folderTree, Qt::Key_Right);
        QVERIFY(w->folderTree->currentItem()->isExpanded());
        QTest::keyClick(w->folderTree, Qt::Key_Right);
        QCOMPARE(w->folderTree->currentItem()->text(0), QString("inner"));
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "alpha\\inner\\"));
        QTest::keyClick(w->folderTree, Qt::Key_Left);
        QCOMPARE(w->folderTree->currentItem()->text(0), QString("alpha"));
        QTest::keyClick(w->folderTree, Qt::Key_Left);
        QVERIFY(!w->folderTree->currentItem()->isExpanded());

        // Enter on a folder row of the list opens it; Backspace goes back up.
        w->OpenPath(Root(), false);
        w->folderList->setFocus();
        w->folderList->selectRow(3);
        QTest::keyClick(w->folderList, Qt::Key_Return);
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "alpha\\"));
        // The keys go on to the list, from its first row: Down moves the
        // list, not the tree.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->folderList));
        QCOMPARE(w->folderList->currentIndex().row(), 0);
        QTreeWidgetItem* node = w->folderTree->currentItem();
        QTest::keyClick(w->folderList, Qt::Key_Down);
        QCOMPARE(w->folderList->currentIndex().row(), 1);
        QCOMPARE(w->folderTree->currentItem(), node);
        QTest::keyClick(w->folderList, Qt::Key_Backspace);
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root()));

        // The drive's item in the menu is chosen by its letter.
        const QChar letter = QChar::fromLatin1(drive->Letter());
        QAction* item = w->DriveMenuItems[static_cast<size_t>(letter.unicode() - 'A')];
        QVERIFY(item->isVisible());
        QCOMPARE(QKeySequence::mnemonic(item->text()),
                 QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(letter.unicode()))));
    }
};

QTEST_MAIN(MainBrowseTest)
#include "MainBrowseTest.moc"
