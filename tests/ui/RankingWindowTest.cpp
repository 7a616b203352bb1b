// The ranking window driven as a user would: the first opening's choices,
// header clicks, column buttons, exclusions in and out, and the choices kept
// per drive across openings.
#include "core/measure/Measure.h"
#include "core/views/Rank.h"
#include "core/GlobalState.h"
#include "support/MainWindowFixture.h"
#include "support/ResetGlobalState.h"
#include "ui/WindowLayout.h"
#include "ui/main/MainWindow.h"
#include "ui/rank/RankingWindow.h"
#include "ui/running/RunningDialog.h"

#include <QComboBox>
#include <QTableView>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QStyleOptionViewItem>
#include <QtTest>

using namespace nrvs;

class RankingWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    std::string x; // "X:" of the temporary drive

    std::string L(const std::string& rest) { return x + rest; }

    QStringList Captions(const RankingWindow& w) {
        QStringList out;
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
            out << w.reportList->topLevelItem(i)->text(0);
        return out;
    }
    QString Q(const std::string& s) { return QString::fromStdString(s); }

    // Shows the window as the main window does and waits for its first
    // computation.
    void Open(RankingWindow& w) {
        const int before = w.Computations();
        w.show();
        QTRY_COMPARE(w.Computations(), before + 1);
    }

    void SelectRow(RankingWindow& w, const QString& caption) {
        w.reportList->clearSelection();
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
            if (w.reportList->topLevelItem(i)->text(0) == caption)
                w.reportList->topLevelItem(i)->setSelected(true);
    }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        test::ResetGlobalState();
        LoadParameters({});
        RefreshDrives(drive->Letter() - 'A');
        QVERIFY(Global().CurrentDrive);
        x = std::string(1, drive->Letter()) + ":";
        // Size:occupied:own size:own occupied:own files:files:own folders:folders:A:H:R:S
        Global().Folders.Assign({
            "2026/12/07 10:00:00=00:00:01",
            L("\\ > 500000:600000:0:0:0:40:5:9:0:0:0:0"),
            L("\\.cache\\ > 900000:900000:900000:900000:5:5:0:0:0:1:0:0"),
            L("\\big\\ > 100000:102400:100000:102400:1:1:0:0:0:0:0:0"),
            L("\\data\\ > 50000:65536:50000:65536:3:4:1:1:0:0:0:0"),
            L("\\data\\old\\ > 7000:12288:7000:12288:1:1:0:0:0:0:0:0"),
            L("\\database\\ > 20000:24576:20000:24576:2:2:0:0:0:0:0:0"),
            L("\\empty\\ > 3000:4096:0:0:0:1:1:1:0:0:0:0"),
            L("\\empty\\full\\ > 3000:4096:3000:4096:1:1:0:0:0:0:0:0"),
            L("\\small\\ > 1000:8192:1000:8192:2:2:0:0:0:0:0:0"),
        });
    }
    void cleanup() {
        test::ResetGlobalState();
        drive.reset();
    }

    void firstOpeningShowsTheDefaults() {
        RunningDialog running;
        RankingWindow w(nullptr, &running);
        Open(w);
        QCOMPARE(running.windowTitle(), QStringLiteral(" 整列中..."));
        QVERIFY(!running.stopButton->isVisibleTo(&running));
        QCOMPARE(w.sortCombo->currentText(), QStringLiteral("占有量順"));
        QCOMPARE(w.countCombo->currentText(), QStringLiteral("Top 10"));
        QHeaderView* h = w.reportList->header();
        for (int k = 1; k <= 9; ++k)
            QCOMPARE(h->sectionSize(k), k <= 5 ? 100 : 0);
        // The folder column takes the rest, at least the 240 pixels kept.
        QCOMPARE(h->sectionSize(0), std::max(240, w.reportList->viewport()->width() - 500));
        QCOMPARE(w.reportList->headerItem()->text(3), QStringLiteral("クラスタギャップ"));
        const QStringList attrs{"0", "1", "1", "1", "1"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(w.attributeList->item(i)->checkState() == Qt::Checked ? QStringLiteral("1")
                                                                           : QStringLiteral("0"),
                     attrs[i]);
        // Hidden, read-only, system and zero-file folders are out; the rows
        // are numbered at the width of "Top 10".
        QCOMPARE(Captions(w),
                 (QStringList{Q("01 " + L("\\big\\")), Q("02 " + L("\\data\\")),
                              Q("03 " + L("\\database\\")), Q("04 " + L("\\data\\old\\")),
                              Q("05 " + L("\\small\\")), Q("06 " + L("\\empty\\full\\"))}));
        QTreeWidgetItem* top = w.reportList->topLevelItem(0);
        QCOMPARE(top->text(1), QStringLiteral("97.66 KB"));
        QCOMPARE(top->text(3), QStringLiteral("2.34 KB"));
        QVERIFY(!top->icon(0).isNull());
        // Nothing was stored until the window closed.
        QVERIFY(!drive->ExeDir().Exists("norvessa_" + std::string(1, drive->Letter()) + ".rks"));
    }

    void headerClicksAndColumnButtons() {
        RunningDialog running;
        RankingWindow w(nullptr, &running);
        Open(w);
        QHeaderView* h = w.reportList->header();
        const int before = w.Computations();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(3) + 20, 5));
        QCOMPARE(w.sortCombo->currentText(), QStringLiteral("クラスタギャップ順"));
        QCOMPARE(w.Computations(), before + 1);
        QCOMPARE(Captions(w).first(), Q("01 " + L("\\data\\")));
        // The same heading again sorts again; "フォルダ" does nothing.
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(3) + 20, 5));
        QCOMPARE(w.Computations(), before + 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
        QCOMPARE(w.Computations(), before + 2);
        QCOMPARE(w.sortCombo->currentIndex(), 2);

        // Releasing a column button hides its column without a computation;
        // pressing it again brings the fixed width back whatever was dragged.
        QTest::mouseClick(w.clusterGapButton, Qt::LeftButton);
        QCOMPARE(h->sectionSize(3), 0);
        h->resizeSection(3, 60);
        QCOMPARE(h->sectionSize(3), 0);
        QTest::mouseClick(w.clusterGapButton, Qt::LeftButton);
        QCOMPARE(h->sectionSize(3), 100);
        h->resizeSection(3, 50);
        QTest::mouseClick(w.clusterGapButton, Qt::LeftButton);
        QTest::mouseClick(w.clusterGapButton, Qt::LeftButton);
        QCOMPARE(h->sectionSize(3), 100);
        QTest::mouseClick(w.allFolderCountButton, Qt::LeftButton);
        QCOMPARE(h->sectionSize(9), 80);
        QCOMPARE(w.reportList->topLevelItem(0)->text(9), QStringLiteral("1"));
        QCOMPARE(w.Computations(), before + 2);

        // Top 5 numbers from 1; the count combo recomputes.
        w.countCombo->setCurrentIndex(0);
        QCOMPARE(w.Computations(), before + 3);
        QCOMPARE(Captions(w).size(), 5);
        QCOMPARE(Captions(w).first(), Q("1 " + L("\\data\\")));
        w.close();
    }

    void exclusionsComeAndGoAndAreKeptPerDrive() {
        RunningDialog running;
        RankingWindow w(nullptr, &running);
        Open(w);
        // The folder alone: its subfolder stays.
        SelectRow(w, Q("02 " + L("\\data\\")));
        QTest::mouseClick(w.excludeButton, Qt::LeftButton);
        QCOMPARE(w.exclusionList->count(), 1);
        QCOMPARE(w.exclusionList->item(0)->text(), Q(L("\\data\\")));
        QCOMPARE(w.exclusionList->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(!Captions(w).contains(Q("02 " + L("\\data\\"))));
        QVERIFY(Captions(w).contains(Q("03 " + L("\\data\\old\\"))));

        // Two rows with their subfolders at once, one of them already in the
        // list in another letter case: one entry each, checked.
        w.exclusionList->item(0)->setData(Qt::UserRole, QByteArray::fromStdString(L("\\DATA\\")));
        w.exclusionList->item(0)->setText(Q(L("\\DATA\\")));
        const int before = w.Computations();
        QTest::mouseClick(w.excludeWithSubfoldersButton,
                          Qt::LeftButton); // nothing selected: still recomputes
        QCOMPARE(w.Computations(), before + 1);
        QCOMPARE(w.exclusionList->count(), 1);
        // The entry matches without regard to case, so data is still out and
        // its subfolder in; select the subfolder and big.
        SelectRow(w, Q("01 " + L("\\big\\")));
        for (int i = 0; i < w.reportList->topLevelItemCount(); ++i)
            if (w.reportList->topLevelItem(i)->text(0).endsWith(Q(L("\\data\\old\\"))))
                w.reportList->topLevelItem(i)->setSelected(true);
        QTest::mouseClick(w.excludeWithSubfoldersButton, Qt::LeftButton);
        QCOMPARE(w.exclusionList->count(), 3);
        QCOMPARE(w.exclusionList->item(1)->text(), Q(L("\\big\\")));
        QCOMPARE(w.exclusionList->item(2)->checkState(), Qt::Checked);
        QCOMPARE(Captions(w), (QStringList{Q("01 " + L("\\database\\")), Q("02 " + L("\\small\\")),
                                           Q("03 " + L("\\empty\\full\\"))}));

        // Checking the data entry takes its subfolder along; the check mark
        // alone recomputes.
        w.exclusionList->item(2)->setCheckState(Qt::Unchecked); // data\old alone again
        QVERIFY(Captions(w).size() == 3);
        SelectRow(w, Q("01 " + L("\\database\\")));
        QTest::mouseClick(w.excludeButton, Qt::LeftButton);
        QCOMPARE(w.exclusionList->count(), 4);

        // Returning an entry brings the folder back at once; with nothing
        // selected the button does nothing.
        const int computed = w.Computations();
        QTest::mouseClick(w.includeButton, Qt::LeftButton);
        QCOMPARE(w.Computations(), computed);
        w.exclusionList->setCurrentRow(3);
        QTest::mouseClick(w.includeButton, Qt::LeftButton);
        QCOMPARE(w.exclusionList->count(), 3);
        QCOMPARE(Captions(w).first(), Q("01 " + L("\\database\\")));

        // Esc closes and stores everything.
        w.sortCombo->setCurrentIndex(0);
        QTest::mouseClick(w.fileCountButton, Qt::LeftButton);
        QTest::keyClick(w.reportList, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Working().Count(), 0);
        const std::string file = "norvessa_" + std::string(1, drive->Letter()) + ".rks";
        QCOMPARE(Q(drive->ExeDir().Read(file)),
                 Q("111111000\r\n240\r\n0\r\n1\r\n01111\r\n\r\n\r\n\r\n\r\n\r\n0=" + L("\\DATA\\") +
                   "\r\n1=" + L("\\big\\") + "\r\n0=" + L("\\data\\old\\") + "\r\n"));

        // Another drive has choices of its own.
        DriveRecord* other = Global().Drives.ByLetter(2);
        QVERIFY(other && !other->RootPath.empty());
        DriveRecord* mine = Global().CurrentDrive;
        Global().CurrentDrive = other;
        Open(w);
        QCOMPARE(w.exclusionList->count(), 0);
        QCOMPARE(w.sortCombo->currentIndex(), 1);
        QCOMPARE(w.reportList->header()->sectionSize(6), 0);
        w.close();

        // Reopening the first drive restores its exclusions and choices.
        Global().CurrentDrive = mine;
        Open(w);
        QCOMPARE(w.exclusionList->count(), 3);
        QCOMPARE(w.exclusionList->item(1)->checkState(), Qt::Checked);
        QCOMPARE(w.sortCombo->currentIndex(), 0);
        QCOMPARE(w.reportList->header()->sectionSize(6), 80);
        QCOMPARE(Captions(w).first(), Q("01 " + L("\\database\\")));
        w.close();
    }

    void damagedFileAndEmptyDrive() {
        const std::string file = "norvessa_" + std::string(1, drive->Letter()) + ".rks";
        drive->ExeDir().Write(file, "1\r\n-7\r\n42\r\nx\r\n0\r\n\r\n\r\n\r\n\r\n\r\nnoequals\r\n" +
                                        std::string(1 << 20, 'z') + "\r\n");
        RunningDialog running;
        RankingWindow w(nullptr, &running);
        Open(w);
        QCOMPARE(w.sortCombo->currentIndex(), 1);
        QCOMPARE(w.countCombo->currentIndex(), 1);
        QVERIFY(w.reportList->header()->sectionSize(0) >= 240);
        QCOMPARE(w.reportList->header()->sectionSize(1), 100);
        QCOMPARE(w.attributeList->item(1)->checkState(), Qt::Checked);
        QCOMPARE(w.attributeList->item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(w.exclusionList->count(), 2);
        QCOMPARE(Captions(w).size(), 6);
        w.close();

        // Only the header and the root: an empty ranking, no message.
        {
            StringList two = Global().Folders.CopyLines();
            two.resize(2);
            Global().Folders.Assign(two);
        }
        Open(w);
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        w.close();
    }

    void valueCellsAreRightAlignedOnTheListBackground() {
        RunningDialog running;
        RankingWindow w(nullptr, &running);
        Open(w);
        w.reportList->topLevelItem(0)->setSelected(true);
        QImage img = w.reportList->viewport()->grab().toImage();
        const QRect row = w.reportList->visualItemRect(w.reportList->topLevelItem(0));
        QHeaderView* h = w.reportList->header();
        const QColor base = w.reportList->palette().color(QPalette::Base);
        // The selection shows on the folder column; the value cells keep the
        // list's background.
        QVERIFY(img.pixelColor(h->sectionViewportPosition(0) + 200, row.center().y()) != base);
        QCOMPARE(img.pixelColor(h->sectionViewportPosition(1) + 2, row.center().y()), base);
        // Ink only in the right part of the cell: the number ends 4 pixels
        // from the edge.
        auto inkIn = [&](int from, int to) {
            for (int px = from; px < to; ++px)
                for (int py = row.top(); py <= row.bottom(); ++py)
                    if (img.pixelColor(px, py) != base) return true;
            return false;
        };
        const int left = h->sectionViewportPosition(1), right = left + h->sectionSize(1);
        QVERIFY(!inkIn(left, left + 30));
        QVERIFY(inkIn(right - 40, right - 4));
        QVERIFY(!inkIn(right - 3, right));
        w.close();
    }

    void mainWindowOpensItOnTheMeasuredDrive() {
        drive->Dir().Write("data/a.txt", std::string(3000, 'a'));
        drive->Dir().Write("data/sub/b.bin", std::string(70000, 'b'));
        drive->Dir().Write("music/c.bin", std::string(20000, 'c'));
        auto window = test::OpenMainWindow(*drive);
        MainWindow& main = *window;
        Global().AskBeforeMeasure = 0;
        MeasureHooks quiet;
        QCOMPARE(MeasureDrives(quiet), 1);
        QVERIFY(main.measureRankingAction->isEnabled());

        QStringList rows;
        QRect placed;
        // The window is modal: look at it from a timer while it is up.
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            if (!main.Ranking->isVisible() || main.Ranking->Computations() < 1) return;
            look.stop();
            rows = Captions(*main.Ranking);
            placed = main.Ranking->geometry();
            main.Ranking->close();
        });
        look.start(20);
        main.measureRankingAction->trigger();
        QCOMPARE(placed, main.geometry().adjusted(32, 32, -32, -32));
        // The whole subtree counts: data holds its sub folder.
        QCOMPARE(rows, (QStringList{Q("01 " + L("\\data\\")), Q("02 " + L("\\data\\sub\\")),
                                    Q("03 " + L("\\music\\"))}));
        QVERIFY(drive->ExeDir().Exists("norvessa_" + std::string(1, drive->Letter()) + ".rks"));

        // Enter on a row closes the ranking and the main window shows the
        // folder, with the keys in its list.
        QTimer enter;
        connect(&enter, &QTimer::timeout, this, [&] {
            if (!main.Ranking->isVisible() || main.Ranking->Computations() < 2) return;
            enter.stop();
            main.Ranking->reportList->setFocus();
            main.Ranking->reportList->setCurrentItem(main.Ranking->reportList->topLevelItem(1));
            QTest::keyClick(main.Ranking->reportList, Qt::Key_Return);
        });
        enter.start(20);
        main.measureRankingAction->trigger();
        QVERIFY(!main.Ranking->isVisible());
        QCOMPARE(QString::fromStdString(SplitRow(main.Rows().front()).Caption),
                 Q(L("\\data\\sub\\")));
        QCOMPARE(main.focusWidget(), static_cast<QWidget*>(main.folderList));
    }

    // A name that is not UTF-8 reads as in the main list, and a deep path
    // keeps its drive and its last folder where the column is narrow.
    void oddNamesAndDeepPathsInTheList() {
        std::string deep = L("\\");
        for (int i = 0; i < 12; ++i)
            deep += "長いフォルダの名前" + std::to_string(i) + "\\";
        deep += "最後のフォルダ\\";
        Global().Folders.Append(L("\\bad\xFF\xFE\\ > 400000:409600:400000:409600:1:1:0:0:0:0:0:0"));
        Global().Folders.Append(deep + " > 300000:307200:300000:307200:1:1:0:0:0:0:0:0");
        RunningDialog running;
        RankingWindow w(nullptr, &running);
        Open(w);
        QCOMPARE(Captions(w).value(0), Q("01 " + L("\\bad%FF%FE\\")));
        QTreeWidgetItem* item = w.reportList->topLevelItem(1);
        QCOMPARE(item->toolTip(0), Q(deep));
        // What the list's delegate draws in the folder column.
        QStyleOptionViewItem shown;
        shown.initFrom(w.reportList);
        shown.widget = w.reportList;
        shown.rect = QRect(0, 0, w.reportList->columnWidth(0), 20);
        shown.features |= QStyleOptionViewItem::HasDisplay;
        shown.text = item->text(0);
        ElidePathInCell(&shown);
        QVERIFY2(shown.text.startsWith(Q("02 " + L("\\"))), qPrintable(shown.text));
        QVERIFY2(shown.text.endsWith(QStringLiteral("\\最後のフォルダ\\")), qPrintable(shown.text));
        QVERIFY(shown.text.contains(QStringLiteral("…")));
    }
};

QTEST_MAIN(RankingWindowTest)
#include "RankingWindowTest.moc"
