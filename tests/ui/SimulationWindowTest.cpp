// The simulation window driven offscreen: its rows, the last target kept,
// results turning back to "?", a chosen drive's cluster size and free space,
// and the refusal when the main list left rows out.
#include "core/GlobalState.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedUi.h"
#include "lib/Messages.h"
#include "support/TempDrive.h"
#include "ui/main/MainWindow.h"
#include "ui/sim/SimulationWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace nrvs;

namespace {
QString After(const SimulationWindow& s, const QString& caption) {
    for (int i = 0; i < s.reportList->topLevelItemCount(); ++i)
        if (s.reportList->topLevelItem(i)->text(0) == caption)
            return s.reportList->topLevelItem(i)->text(2);
    return "(none)";
}
} // namespace

class SimulationWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = test::ScriptedUi{};
        ui.answer = ID_NO;
        SetMessageUi(&ui);
        drive->Dir().Write("sub/a", std::string(100, 'a'));
        drive->Dir().Write("sub/b", std::string(600, 'b'));
        drive->Dir().Write("sub/c", "");
        drive->Dir().Write("top.txt", std::string(4097, 't'));
    }
    void cleanup() {
        SetMessageUi(nullptr);
        drive.reset();
    }

    void firstOpeningRunAndResultsTurningBack() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        SimulationWindow& s = *w->Simulation;
        s.Prepare();
        QCOMPARE(s.driveCombo->currentText(), QString("クラスタサイズ指定"));
        QCOMPARE(s.clusterSizeEdit->text(), QString("512"));
        QVERIFY(s.clusterSizeEdit->isEnabled());
        QCOMPARE(s.reportList->topLevelItem(0)->text(0), QString::fromStdString(drive->Root()));
        QCOMPARE(s.reportList->topLevelItem(1)->text(0), QString("クラスタサイズ"));
        QCOMPARE(s.reportList->topLevelItem(2)->text(0), QString("空き容量"));
        QVERIFY2(!(s.reportList->topLevelItem(3)->flags() & Qt::ItemIsSelectable), "the spacer");
        QCOMPARE(After(s, "sub"), QString("?"));

        s.onRun();
        QCOMPARE(After(s, "sub"), QString("1536"));
        QCOMPARE(After(s, "top.txt"), QString("4608"));
        QCOMPARE(s.reportList->topLevelItem(0)->text(2), QString("6144"));
        QCOMPARE(Global().SimCluster, -512);

        s.clusterSizeEdit->setText("4096");
        QCOMPARE(After(s, "sub"), QString("?"));
        QCOMPARE(s.reportList->topLevelItem(0)->text(2), QString("?"));
        s.onRun();
        QCOMPARE(Global().SimCluster, -4096);

        // A size below 1 is refused with a message; the results stay "?".
        s.clusterSizeEdit->setText("0");
        s.onRun();
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(After(s, "sub"), QString("?"));
        QCOMPARE(Global().SimCluster, -4096);

        // Reopened: the last typed size, also one beyond 2 MB.
        s.clusterSizeEdit->setText("4194304");
        s.onRun();
        s.Prepare();
        QCOMPARE(s.clusterSizeEdit->text(), QString("4194304"));
    }

    void aChosenDriveGivesItsClusterSizeAndFreeSpace() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        SimulationWindow& s = *w->Simulation;
        s.Prepare();
        int item = -1;
        for (int i = 1; i < s.driveCombo->count(); ++i)
            if (s.driveCombo->itemText(i).startsWith(QChar(drive->Letter()))) item = i;
        QVERIFY(item > 0);
        s.driveCombo->setCurrentIndex(item);
        QVERIFY(!s.clusterSizeEdit->isEnabled());
        QVERIFY(s.clusterSizeEdit->text().isEmpty());
        s.onRun();
        const DriveRecord* cur = Global().CurrentDrive;
        QCOMPARE(s.clusterSizeEdit->text(), QString::number(cur->ClusterSize));
        QVERIFY(s.reportList->topLevelItem(2)->text(2) != "?");
        QCOMPARE(Global().SimCluster, item);
        s.Prepare();
        // reopens with the drive of the last run
        QCOMPARE(s.driveCombo->currentIndex(), item);
    }

    void refusedWhileTheListLeavesRowsOut() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        w->DisplayComplete = false;
        w->onMeasureSimulation();
        QCOMPARE(ui.messages, QStringList{"表示を省略しているときは使用できません。"});
    }
};

QTEST_MAIN(SimulationWindowTest)
#include "SimulationWindowTest.moc"
