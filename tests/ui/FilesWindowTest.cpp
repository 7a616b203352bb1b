// The largest-files window and the search driven as a user would: rows and
// their order after a measurement, heading clicks, filters, typing a search,
// opening rows in the main window, deleting through the window, files gone
// behind its back, a drive without a file index, and the kept settings.
#include "core/cache/Cache.h"
#include "core/index/FileIndex.h"
#include "core/views/FilesView.h"
#include "core/measure/Measure.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "support/MainWindowFixture.h"
#include "support/ResetGlobalState.h"
#include "support/ScriptedUi.h"
#include "lib/Messages.h"
#include "support/TempDrive.h"
#include "ui/files/FilesWindow.h"
#include "ui/ReportLists.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include <cstdio>
#include <utime.h>

using namespace nrvs;

namespace {
QStringList Column(const FilesWindow& w, int column) {
    QStringList out;
    for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
        out << w.reportList->topLevelItem(i)->text(column);
    return out;
}
QStringList Names(const FilesWindow& w) {
    return Column(w, 0);
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
} // namespace

class FilesWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    std::unique_ptr<MainWindow> main;
    test::ScriptedUi ui;
    std::string x; // "X:"

    std::string L(const std::string& rest) { return x + rest; }

    void Measure() {
        Global().AskBeforeMeasure = 0;
        MeasureHooks quiet;
        QCOMPARE(MeasureDrives(quiet), 1);
        main->OpenPath(drive->Root(), true);
    }
    // Waits for the query the last change started.
    void Settle(FilesWindow& w) {
        QTest::qWait(1);
        const int before = w.Queries();
        w.refreshButton->click();
        QTRY_VERIFY(w.Queries() > before);
    }
    void OpenLargest() {
        const int before = main->Files->Queries();
        main->toolsLargestFilesAction->trigger();
        QTRY_VERIFY(main->Files->Queries() > before);
    }
    void Select(FilesWindow& w, const QStringList& names) {
        w.reportList->clearSelection();
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = w.reportList->topLevelItem(i);
            if (!names.contains(item->text(0))) continue;
            item->setSelected(true);
            w.reportList->setCurrentItem(item, 0, QItemSelectionModel::Select);
        }
    }
    qint64 Value(const FilesWindow& w, int row, int column) {
        return w.reportList->topLevelItem(row)->data(column, Qt::UserRole + 2).toLongLong();
    }
    // The view takes a double click only on the row its first click pressed.
    void DoubleClick(FilesWindow& w, QTreeWidgetItem* row) {
        const QPoint at = w.reportList->visualItemRect(row).center();
        QTest::mouseClick(w.reportList->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w.reportList->viewport(), Qt::LeftButton, {}, at);
    }
    // Text as the input method hands it over once the user confirms it.
    void Commit(QWidget* box, const QString& text) {
        QInputMethodEvent e;
        e.setCommitString(text);
        QApplication::sendEvent(box, &e);
    }
    void SetTime(const std::string& relative, time_t t) {
        struct utimbuf times {
            t, t
        };
        QCOMPARE(::utime((drive->Native() + relative).c_str(), &times), 0);
    }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        x = std::string(1, drive->Letter()) + ":";
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        const test::TempDir& d = drive->Dir();
        d.Write("data/big.bin", std::string(50000, 'b'));
        d.Write("data/dsc_0001.jpg", std::string(30000, 'j'));
        d.Write("data/sub/small.txt", std::string(100, 's'));
        d.Write("photos/DSC_0002.JPG", std::string(40000, 'J'));
        d.Write("music/song.mp3", std::string(20000, 'm'));
        d.Write("notes.txt", std::string(10, 'n'));
        SetTime("notes.txt", 1500000000);
        SetTime("music/song.mp3", 1700000000);
        main = test::OpenMainWindow(*drive);
    }
    void cleanup() {
        main.reset();
        SetMessageUi(nullptr);
        test::ResetGlobalState();
        drive.reset();
    }

    void menusOfferTheWindowAndTheSearch() {
        QVERIFY(main->toolsSearchAction->isVisible());
        QVERIFY(main->toolsSearchToolbarAction->isVisible());
        QCOMPARE(main->toolsLargestFilesAction->text(), QStringLiteral("大きいファイル(&B)..."));
        QCOMPARE(main->toolsLargestFilesAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
        QCOMPARE(main->toolsLargestFilesToolbarAction->toolTip(), QStringLiteral("大きいファイル"));
        QVERIFY(main->toolsMenu->actions().contains(main->toolsLargestFilesAction));
        // No other command of the main window answers the same keys.
        for (QAction* a : main->findChildren<QAction*>())
            if (a != main->toolsLargestFilesAction && a != main->toolsSearchAction)
                QVERIFY2(a->shortcut() != main->toolsLargestFilesAction->shortcut() &&
                             a->shortcut() != main->toolsSearchAction->shortcut(),
                         qPrintable(a->objectName()));
    }

    void rowsAreTheLargestFilesAndEveryHeadingSorts() {
        Measure();
        OpenLargest();
        FilesWindow& w = *main->Files;
        QCOMPARE(w.windowTitle(), QStringLiteral(" 大きいファイル"));
        QCOMPARE(Names(w), (QStringList{"big.bin", "DSC_0002.JPG", "dsc_0001.jpg", "song.mp3",
                                        "small.txt", "notes.txt"}));
        QTreeWidgetItem* top = w.reportList->topLevelItem(0);
        QCOMPARE(top->text(1), Q(L("\\data\\")));
        QCOMPARE(top->text(2), QStringLiteral("48.83 KB"));
        QVERIFY(!top->text(3).isEmpty());
        QCOMPARE(top->text(5), QStringLiteral("BIN ファイル"));
        QCOMPARE(
            w.reportList->topLevelItem(5)->text(4),
            QDateTime::fromSecsSinceEpoch(1500000000).toString(QStringLiteral("yyyy/MM/dd hh:mm")));
        QCOMPARE(w.reportList->topLevelItem(5)->text(1), Q(L("\\")));
        QCOMPARE(w.reportList->header()->sortIndicatorSection(), 2);
        QCOMPARE(w.reportList->header()->sortIndicatorOrder(), Qt::DescendingOrder);

        QHeaderView* h = w.reportList->header();
        auto clickHeading = [&](int section) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(section) + 10, 5));
        };
        clickHeading(0);
        QCOMPARE(h->sortIndicatorSection(), 0);
        QCOMPARE(Names(w), (QStringList{"big.bin", "dsc_0001.jpg", "DSC_0002.JPG", "notes.txt",
                                        "small.txt", "song.mp3"}));
        const Qt::SortOrder byName = h->sortIndicatorOrder();
        clickHeading(0);
        QVERIFY(h->sortIndicatorOrder() != byName);
        QCOMPARE(Names(w).first(), QStringLiteral("song.mp3"));
        // Sizes sort by their numbers: 100 bytes below 19.53 KB whatever the
        // texts say.
        for (int column : {2, 4}) {
            clickHeading(column);
            QCOMPARE(h->sortIndicatorSection(), column);
            for (int flip = 0; flip < 2; ++flip) {
                const bool up = h->sortIndicatorOrder() == Qt::AscendingOrder;
                for (int i = 1; i < w.reportList->topLevelItemCount(); ++i)
                    QVERIFY(up ? Value(w, i - 1, column) <= Value(w, i, column)
                               : Value(w, i - 1, column) >= Value(w, i, column));
                clickHeading(column);
            }
        }
        clickHeading(2);
        if (h->sortIndicatorOrder() == Qt::DescendingOrder) clickHeading(2);
        QCOMPARE(Names(w).first(), QStringLiteral("notes.txt"));
        QCOMPARE(Names(w).at(1), QStringLiteral("small.txt"));

        // The date key: the newest first; the arrow moves to its column.
        w.sortCombo->setCurrentIndex(FILE_KEY_MODIFIED);
        QTRY_COMPARE(Names(w).last(), QStringLiteral("notes.txt"));
        QCOMPARE(Names(w).at(4), QStringLiteral("song.mp3"));
        QCOMPARE(h->sortIndicatorSection(), 4);
        // Top 100 holds them all.
        QCOMPARE(w.countCombo->currentText(), QStringLiteral("Top 100"));
        QVERIFY(w.stateLabel->text().contains(QStringLiteral("6 件")));
        w.close();
    }

    // A kind is never cut ("DOCX ファ…"): the path column, which takes the
    // spare width, gives way to the widest kind shown.
    void kindsAreShownWhole() {
        drive->Dir().Write("data/report.markdown", std::string(60000, 'r'));
        Measure();
        OpenLargest();
        QTreeWidget* list = main->Files->reportList;
        QCOMPARE(list->topLevelItem(0)->text(5), QStringLiteral("MARKDOWN ファイル"));
        const int shown = list->columnWidth(5);
        list->resizeColumnToContents(5);
        QVERIFY2(shown >= list->columnWidth(5),
                 qPrintable(QStringLiteral("%1 < %2").arg(shown).arg(list->columnWidth(5))));
        main->Files->close();
    }

    void filtersCombine() {
        Measure();
        OpenLargest();
        FilesWindow& w = *main->Files;
        w.extensionEdit->setText(QStringLiteral("JPG"));
        Settle(w);
        QCOMPARE(Names(w), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg"}));
        w.minimumSizeEdit->setText(QStringLiteral("35"));
        w.unitCombo->setCurrentIndex(1); // KB
        Settle(w);
        QCOMPARE(Names(w), (QStringList{"DSC_0002.JPG"}));
        w.extensionEdit->setText(QStringLiteral("jpg, mp3, bin"));
        w.minimumSizeEdit->setText(QStringLiteral("20000"));
        w.unitCombo->setCurrentIndex(0); // bytes: exactly 20000 counts
        Settle(w);
        QCOMPARE(Names(w), (QStringList{"big.bin", "DSC_0002.JPG", "dsc_0001.jpg", "song.mp3"}));
        // Older than a year: the two files whose times were set back.
        w.dateCombo->setCurrentIndex(DATE_OLDER_DAYS);
        QVERIFY(w.dateEdit->isEnabled());
        w.dateEdit->setText(QStringLiteral("365"));
        Settle(w);
        QCOMPARE(Names(w), (QStringList{"song.mp3"}));
        w.extensionEdit->clear();
        w.minimumSizeEdit->clear();
        w.dateCombo->setCurrentIndex(DATE_BEFORE);
        w.dateEdit->setText(QStringLiteral("2020/01/01"));
        Settle(w);
        QCOMPARE(Names(w), (QStringList{"notes.txt"}));
        w.dateCombo->setCurrentIndex(DATE_AFTER);
        Settle(w);
        QCOMPARE(Names(w).size(), 5);
        QVERIFY(!Names(w).contains(QStringLiteral("notes.txt")));
        // The name box filters too.
        w.nameEdit->setText(QStringLiteral("*.jpg"));
        Settle(w);
        QCOMPARE(Names(w), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg"}));

        // A box that holds no filter says so on the line and lists nothing;
        // no message box.
        w.extensionEdit->setText(QStringLiteral("jpg,,png"));
        QTRY_VERIFY(w.stateLabel->text().contains(QStringLiteral("拡張子")));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        w.extensionEdit->clear();
        w.dateEdit->setText(QStringLiteral("2026/02/31"));
        QTRY_VERIFY(w.stateLabel->text().contains(QStringLiteral("日付")));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        QVERIFY(ui.messages.isEmpty());
        w.close();
    }

    void theFolderShownOrTheWholeDrive() {
        Measure();
        main->OpenPath(L("\\data\\"), false);
        OpenLargest();
        FilesWindow& w = *main->Files;
        QCOMPARE(Q(w.Below()), Q(L("\\data\\")));
        QCOMPARE(Names(w), (QStringList{"big.bin", "dsc_0001.jpg", "small.txt"}));
        w.wholeDriveCheck->setChecked(true);
        Settle(w);
        QCOMPARE(Names(w).size(), 6);
        w.close();
    }

    void searchFillsAsTheUserTypes() {
        Measure();
        const int before = main->Files->Queries();
        main->toolsSearchAction->trigger();
        FilesWindow& w = *main->Files;
        QTRY_VERIFY(w.Queries() > before);
        QVERIFY(w.SearchMode());
        QCOMPARE(w.windowTitle(), QStringLiteral(" 検索"));
        QCOMPARE(QApplication::focusWidget(), w.nameEdit);
        // Full-width letters find half-width names of either case; the last
        // text typed decides the rows, however quickly it came.
        Commit(w.nameEdit, QStringLiteral("ｓｏｎｇ"));
        w.nameEdit->clear();
        Commit(w.nameEdit, QStringLiteral("ＤＳＣ"));
        QTRY_COMPARE(Names(w), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg"}));
        w.nameEdit->clear();
        QTest::keyClicks(w.nameEdit, QStringLiteral("*.jpg"));
        QTRY_COMPARE(Names(w), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg"}));
        // Down goes on from the box into the results, onto the first.
        QTest::keyClick(w.nameEdit, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), w.reportList);
        QCOMPARE(w.reportList->currentItem(), w.reportList->topLevelItem(0));
        // Folders match by their name and show as folder rows.
        w.nameEdit->setText(QStringLiteral("sub"));
        QTRY_COMPARE(Names(w), (QStringList{"sub"}));
        QCOMPARE(w.reportList->topLevelItem(0)->text(5), QStringLiteral("フォルダ"));
        QCOMPARE(w.reportList->topLevelItem(0)->text(1), Q(L("\\data\\")));
        // On the path, everything below data matches.
        w.nameEdit->setText(QStringLiteral("data"));
        QTRY_COMPARE(Names(w), (QStringList{"data"}));
        w.pathSearchCheck->setChecked(true);
        QTRY_COMPARE(Names(w).size(), 5);
        QVERIFY(Names(w).contains(QStringLiteral("small.txt")));

        // A double click on a folder row opens it in the main window.
        w.nameEdit->setText(QStringLiteral("sub"));
        w.pathSearchCheck->setChecked(false);
        QTRY_COMPARE(Names(w), (QStringList{"sub"}));
        QTreeWidgetItem* row = w.reportList->topLevelItem(0);
        w.reportList->setCurrentItem(row);
        DoubleClick(w, row);
        QCOMPARE(Q(SplitRow(main->Rows().front()).Caption), Q(L("\\data\\sub\\")));
        w.close();
    }

    void doubleClickShowsTheFileInTheMainList() {
        Measure();
        Global().ShowFiles = 0;
        OpenLargest();
        FilesWindow& w = *main->Files;
        Select(w, {"dsc_0001.jpg"});
        QTreeWidgetItem* row = w.reportList->currentItem();
        DoubleClick(w, row);
        QCOMPARE(Q(SplitRow(main->Rows().front()).Caption), Q(L("\\data\\")));
        QCOMPARE(Global().ShowFiles, 1);
        const QModelIndexList chosen = main->folderList->selectionModel()->selectedRows();
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(Q(SplitRow(main->Rows()[static_cast<size_t>(chosen.first().row())]).Caption),
                 QStringLiteral("dsc_0001.jpg"));
        w.close();
    }

    void deleteAsksOnceAndTheRowsLeave() {
        Measure();
        Global().UseRecycleBin = 0;
        OpenLargest();
        FilesWindow& w = *main->Files;
        // The menu key brings the list's commands.
        Select(w, {"big.bin", "song.mp3"});
        w.reportList->setFocus();
        QTest::keyClick(w.reportList, Qt::Key_Menu);
        QTRY_VERIFY(w.popupMenu->isVisible());
        QVERIFY(w.deleteAction->isEnabled() && w.copyAction->isEnabled() &&
                w.moveAction->isEnabled());
        QVERIFY(!w.propertiesAction->isEnabled());
        w.popupMenu->hide();

        // Answered no: nothing happens.
        ui.answer = ID_NO;
        QTest::keyClick(w.reportList, Qt::Key_Delete);
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(ui.questions[0].contains(QStringLiteral("2 個のファイル (68.36 KB)")));
        QVERIFY(ui.questions[0].contains(Q(L("\\data\\big.bin"))));
        QVERIFY(ui.questions[0].contains(QStringLiteral("ごみ箱を使用しない設定")));
        QVERIFY(drive->Dir().Exists("data/big.bin"));
        QCOMPARE(Names(w).size(), 6);

        ui.answer = ID_YES;
        QTest::keyClick(w.reportList, Qt::Key_Delete);
        QCOMPARE(ui.questions.size(), 2);
        QVERIFY(ui.messages.isEmpty());
        QVERIFY(!drive->Dir().Exists("data/big.bin"));
        QVERIFY(!drive->Dir().Exists("music/song.mp3"));
        QCOMPARE(Names(w), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg", "small.txt", "notes.txt"}));

        // The index forgets them: a fresh look at it no longer finds them,
        // and neither does the window refreshed.
        const DriveRecord& d = *Global().CurrentDrive;
        FileIndex index;
        std::string why;
        QVERIFY2(index.Open(FileIndexName(d), drive->Letter(), CacheHeaderLine(d), &why),
                 why.c_str());
        FileQuery q;
        QStringList left;
        for (const FileHit& h : QueryFiles(index, q))
            left << Q(h.Path);
        QCOMPARE(left.size(), 4);
        QVERIFY(!left.contains(Q(L("\\data\\big.bin"))));
        Settle(w);
        QCOMPARE(Names(w).size(), 4);

        // One file alone is named in the question.
        Select(w, {"notes.txt"});
        QTest::keyClick(w.reportList, Qt::Key_Delete);
        QVERIFY(ui.questions.last().startsWith(Q("削除：" + L("\\notes.txt"))));
        QCOMPARE(Names(w).size(), 3);
        w.close();

        // The main list's totals lost them, as a new measurement shows them.
        main->OpenPath(drive->Root(), false);
        const RowList rows = main->Rows();
        Measure();
        for (const char* folder : {"data", "music"}) {
            auto rowOf = [&](const RowList& list) {
                for (const std::string& r : list)
                    if (SplitRow(r).Caption == folder) return r;
                return std::string();
            };
            QCOMPARE(rowOf(rows), rowOf(main->Rows()));
        }
    }

    void copyKeepsTheRowsMoveTakesThemAway() {
        ::setenv("XDG_DATA_HOME", (drive->ExeDir() / "xdg").c_str(), 1);
        std::string chosen = drive->Dir() / "photos";
        SetBrowseFolderChoice([&](const std::string&) { return chosen; });
        Measure();
        OpenLargest();
        FilesWindow& w = *main->Files;
        Select(w, {"big.bin", "song.mp3"});
        w.copyAction->trigger();
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(ui.questions[0].startsWith(
            Q("コピー元：2 個のファイル (68.36 KB)　\nコピー先：" + L("\\photos\\"))));
        QCOMPARE(drive->Dir().Read("photos/big.bin"), std::string(50000, 'b'));
        QVERIFY(drive->Dir().Exists("data/big.bin"));
        QCOMPARE(Names(w).size(), 6);

        drive->Dir().MakeDir("moved");
        chosen = drive->Dir() / "moved";
        w.moveAction->trigger();
        QCOMPARE(ui.questions.size(), 2);
        QVERIFY(ui.questions[1].startsWith(QStringLiteral("移動元：2 個のファイル")));
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("|")));
        QVERIFY(!drive->Dir().Exists("data/big.bin"));
        QVERIFY(!drive->Dir().Exists("music/song.mp3"));
        QCOMPARE(drive->Dir().Read("moved/song.mp3"), std::string(20000, 'm'));
        QCOMPARE(Names(w), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg", "small.txt", "notes.txt"}));

        // A folder row cannot go into its own subtree.
        w.wholeDriveCheck->setChecked(true);
        const int before = w.Queries();
        main->toolsSearchAction->trigger();
        QTRY_VERIFY(w.Queries() > before);
        w.nameEdit->setText(QStringLiteral("data"));
        QTRY_COMPARE(Names(w), (QStringList{"data"}));
        Select(w, {"data"});
        chosen = drive->Dir() / "data/sub";
        w.moveAction->trigger();
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0], QStringLiteral("下位のフォルダは選択できません。"));
        QVERIFY(drive->Dir().Exists("data/dsc_0001.jpg"));
        SetBrowseFolderChoice(nullptr);
        ::unsetenv("XDG_DATA_HOME");
        w.close();
    }

    void aFileGoneBehindTheWindowsBack() {
        Measure();
        OpenLargest();
        FilesWindow& w = *main->Files;
        QVERIFY(std::remove((drive->Native() + "data/dsc_0001.jpg").c_str()) == 0);
        Select(w, {"dsc_0001.jpg"});
        w.reportList->setFocus();
        QTest::keyClick(w.reportList, Qt::Key_Return);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].contains(Q(L("\\data\\dsc_0001.jpg"))));
        QVERIFY(ui.messages[0].contains(QStringLiteral("見つかりません")));
        QVERIFY(!Names(w).contains(QStringLiteral("dsc_0001.jpg")));
        // Deleting it and another: the other is asked for, the gone one told.
        QVERIFY(std::remove((drive->Native() + "notes.txt").c_str()) == 0);
        Select(w, {"notes.txt", "small.txt"});
        Global().UseRecycleBin = 0;
        QTest::keyClick(w.reportList, Qt::Key_Delete);
        QCOMPARE(ui.messages.size(), 2);
        QVERIFY(ui.messages[1].contains(Q(L("\\notes.txt"))));
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(ui.questions[0].startsWith(Q("削除：" + L("\\data\\sub\\small.txt"))));
        QCOMPARE(Names(w), (QStringList{"big.bin", "DSC_0002.JPG", "song.mp3"}));
        w.close();
    }

    void withoutAnIndexOneLineAndNoBoxes() {
        // Never measured.
        OpenLargest();
        FilesWindow& w = *main->Files;
        QTRY_COMPARE(
            w.stateLabel->text(),
            QStringLiteral("このドライブは計測されていません。ドライブを計測し直してください。"));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        // Measured, but the index went away: its own reason and the advice.
        Measure();
        const DriveRecord& d = *Global().CurrentDrive;
        QVERIFY(std::remove(FileIndexName(d).c_str()) == 0);
        w.refreshButton->click();
        QCOMPARE(w.stateLabel->text(),
                 QStringLiteral(
                     "このドライブのファイル一覧がありません。ドライブを計測し直してください。"));
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        QVERIFY(ui.messages.isEmpty());
        // A measurement made while the window is open is picked up.
        drive->Dir().Write("new.bin", std::string(90000, 'x'));
        Measure();
        Settle(w);
        QCOMPARE(Names(w).first(), QStringLiteral("new.bin"));
        QCOMPARE(Names(w).size(), 7);
        drive->Dir().Write("newer.bin", std::string(95000, 'x'));
        Measure();
        w.close();
        OpenLargest();
        QCOMPARE(Names(w).first(), QStringLiteral("newer.bin"));
        w.close();
    }

    void settingsAreKeptAndReadDefensively() {
        Measure();
        OpenLargest();
        FilesWindow& w = *main->Files;
        w.extensionEdit->setText(QStringLiteral("jpg"));
        w.minimumSizeEdit->setText(QStringLiteral("1.5"));
        w.unitCombo->setCurrentIndex(1);
        w.sortCombo->setCurrentIndex(FILE_KEY_OCCUPIED);
        w.countCombo->setCurrentIndex(2);
        w.wholeDriveCheck->setChecked(true);
        w.reportList->header()->resizeSection(1, 333);
        w.setGeometry(40, 50, 700, 400);
        w.close();
        QVERIFY(drive->ExeDir().Exists("norvessa.big"));

        // A new window (the next start) takes them all back.
        main.reset();
        main = test::OpenMainWindow(*drive, {.resetState = false});
        OpenLargest();
        FilesWindow& again = *main->Files;
        QCOMPARE(again.extensionEdit->text(), QStringLiteral("jpg"));
        QCOMPARE(again.minimumSizeEdit->text(), QStringLiteral("1.5"));
        QCOMPARE(again.unitCombo->currentIndex(), 1);
        QCOMPARE(again.sortCombo->currentIndex(), int(FILE_KEY_OCCUPIED));
        QCOMPARE(again.countCombo->currentIndex(), 2);
        QVERIFY(again.wholeDriveCheck->isChecked());
        // The folder column's width is kept; it shows the spare width.
        QCOMPARE(ChosenWidth(again.reportList, 1), 333);
        QCOMPARE(again.size(), QSize(700, 400));
        QCOMPARE(again.reportList->header()->sortIndicatorSection(), 3);
        QCOMPARE(Names(again), (QStringList{"DSC_0002.JPG", "dsc_0001.jpg"}));
        again.close();

        // Garbage takes the defaults, line by line.
        drive->ExeDir().Write("norvessa.big",
                              "x\r\n\r\n-5\r\n99999999\r\n1,2,3\r\n7\r\n1\r\nmaybe\r\n\r\nmp3\r\n"
                              "abc\r\n9\r\n-1\r\n" +
                                  std::string(100000, 'z') + "\r\n");
        main.reset();
        main = test::OpenMainWindow(*drive, {.resetState = false});
        OpenLargest();
        FilesWindow& third = *main->Files;
        QCOMPARE(third.sortCombo->currentIndex(), 0);
        QCOMPARE(third.countCombo->currentIndex(), 1);
        QVERIFY(!third.wholeDriveCheck->isChecked());
        QCOMPARE(third.extensionEdit->text(), QStringLiteral("mp3"));
        QCOMPARE(third.unitCombo->currentIndex(), 2);
        QCOMPARE(third.dateCombo->currentIndex(), 0);
        QCOMPARE(ChosenWidth(third.reportList, 1), 280);
        // "abc" as a minimum size is reported on the line, not in a box.
        QVERIFY(third.stateLabel->text().contains(QStringLiteral("最小サイズ")));
        QVERIFY(ui.messages.isEmpty());
        third.close();
    }
};

QTEST_MAIN(FilesWindowTest)
#include "FilesWindowTest.moc"
