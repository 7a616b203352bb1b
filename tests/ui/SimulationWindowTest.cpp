// The simulation window driven offscreen: its rows, the last target kept,
// results turning back to "?", a chosen drive's cluster size and free space,
// and the refusal when the main list left rows out.
#include "core/GlobalState.h"
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
struct ScriptedUi : MessageUi {
    QStringList messages;
    void ShowMessage(const std::string& text, int) override { messages << QString::fromStdString(text); }
    int AskQuestion(const std::string&, int) override { return ID_NO; }
};

QString After(const TFMsim& s, const QString& caption) {
    for (int i = 0; i < s.LVlist->topLevelItemCount(); ++i)
        if (s.LVlist->topLevelItem(i)->text(0) == caption) return s.LVlist->topLevelItem(i)->text(2);
    return "(none)";
}
} // namespace

class SimulationWindowTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::TempDrive> drive;
    ScriptedUi ui;

    std::unique_ptr<TFMmain> OpenWindow() {
        Global() = GlobalState{};
        auto w = std::make_unique<TFMmain>(StringList{});
        w->show();
        w->TMtimer->stop();
        Global().ShowFiles = 1;
        w->OpenPath(drive->Root(), true);
        return w;
    }

private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = ScriptedUi{};
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
        auto w = OpenWindow();
        TFMsim& s = *w->Sim;
        s.Prepare();
        QCOMPARE(s.CBdrv->currentText(), QString("クラスタサイズ指定"));
        QCOMPARE(s.EDcsize->text(), QString("512"));
        QVERIFY(s.EDcsize->isEnabled());
        QCOMPARE(s.LVlist->topLevelItem(0)->text(0), QString::fromStdString(drive->Root()));
        QCOMPARE(s.LVlist->topLevelItem(1)->text(0), QString("クラスタサイズ"));
        QCOMPARE(s.LVlist->topLevelItem(2)->text(0), QString("空き容量"));
        QVERIFY2(!(s.LVlist->topLevelItem(3)->flags() & Qt::ItemIsSelectable), "the spacer");
        QCOMPARE(After(s, "sub"), QString("?"));

        s.BTexeClick();
        QCOMPARE(After(s, "sub"), QString("1536"));
        QCOMPARE(After(s, "top.txt"), QString("4608"));
        QCOMPARE(s.LVlist->topLevelItem(0)->text(2), QString("6144"));
        QCOMPARE(Global().SimCluster, -512);

        s.EDcsize->setText("4096");
        QCOMPARE(After(s, "sub"), QString("?"));
        QCOMPARE(s.LVlist->topLevelItem(0)->text(2), QString("?"));
        s.BTexeClick();
        QCOMPARE(Global().SimCluster, -4096);

        // A size below 1 is refused with a message; the results stay "?".
        s.EDcsize->setText("0");
        s.BTexeClick();
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(After(s, "sub"), QString("?"));
        QCOMPARE(Global().SimCluster, -4096);

        // Reopened: the last typed size, also one beyond 2 MB.
        s.EDcsize->setText("4194304");
        s.BTexeClick();
        s.Prepare();
        QCOMPARE(s.EDcsize->text(), QString("4194304"));
    }

    void aChosenDriveGivesItsClusterSizeAndFreeSpace() {
        auto w = OpenWindow();
        TFMsim& s = *w->Sim;
        s.Prepare();
        int item = -1;
        for (int i = 1; i < s.CBdrv->count(); ++i)
            if (s.CBdrv->itemText(i).startsWith(QChar(drive->Letter()))) item = i;
        QVERIFY(item > 0);
        s.CBdrv->setCurrentIndex(item);
        QVERIFY(!s.EDcsize->isEnabled());
        QVERIFY(s.EDcsize->text().isEmpty());
        s.BTexeClick();
        const DriveRecord* cur = Global().CurrentDrive;
        QCOMPARE(s.EDcsize->text(), QString::number(cur->ClusterSize));
        QVERIFY(s.LVlist->topLevelItem(2)->text(2) != "?");
        QCOMPARE(Global().SimCluster, item);
        s.Prepare();
        // reopens with the drive of the last run
        QCOMPARE(s.CBdrv->currentIndex(), item);
    }

    void refusedWhileTheListLeavesRowsOut() {
        auto w = OpenWindow();
        w->DisplayComplete = false;
        w->MMmessimClick();
        QCOMPARE(ui.messages, QStringList{"表示を省略しているときは使用できません。"});
    }
};

QTEST_MAIN(SimulationWindowTest)
#include "SimulationWindowTest.moc"
