// The changes window and the main list's 増減 column driven as a user would,
// after real changes of a tree between two measurements: the rows, the
// kinds, the files of a chosen folder, a double click into the main window,
// a drive without a previous measurement, and the column's cells.
#include "core/cache/Cache.h"
#include "core/measure/Measure.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "support/MainWindowFixture.h"
#include "support/ResetGlobalState.h"
#include "support/ScriptedUi.h"
#include "lib/Messages.h"
#include "lib/StringList.h"
#include "support/TempDrive.h"
#include "ui/changes/ChangesWindow.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/MainWindow.h"
#include "ui/main/RowModel.h"

#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace nrvs;

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QTreeWidgetItem* RowOf(const QTreeWidget* list, const QString& path) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == path) return list->topLevelItem(i);
    return nullptr;
}
} // namespace

class ChangesWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    std::unique_ptr<MainWindow> main;
    test::ScriptedUi ui;

    QString P(const std::string& rest) const { return Q(drive->Root() + rest); }
    void Measure() {
        // Headers are dated to the second.
        ::sleep(1);
        Global().AskBeforeMeasure = 0;
        MeasureHooks quiet;
        QCOMPARE(MeasureDrives(quiet), 1);
        main->OpenPath(drive->Root(), true);
    }
    void ChangeTheTree() {
        const test::TempDir& d = drive->Dir();
        d.Write("grow/a.bin", std::string(90000, 'a'));
        test::RemoveTree(d / "gone");
        d.Write("fresh/n.bin", std::string(700, 'n'));
    }
    ChangesWindow& Open() {
        main->measureChangesAction->trigger();
        return *main->Changes;
    }
    // The text the main list's 増減 column holds for a caption.
    QString ChangeCell(const QString& caption) {
        QAbstractItemModel* m = main->folderList->model();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 0).data().toString() == caption)
                return m->index(r, kColChange).data().toString();
        return QStringLiteral("(no row)");
    }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        const test::TempDir& d = drive->Dir();
        d.Write("grow/a.bin", std::string(1000, 'a'));
        d.Write("gone/x.bin", std::string(300, 'x'));
        d.Write("same/z.bin", std::string(5, 'z'));
        main = test::OpenMainWindow(*drive);
    }
    void cleanup() {
        main.reset();
        SetMessageUi(nullptr);
        test::ResetGlobalState();
        drive.reset();
    }

    void menuAndToolbarOfferTheWindow() {
        QCOMPARE(main->measureChangesAction->text(), QStringLiteral("変化(&G)..."));
        QCOMPARE(main->measureChangesAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
        QVERIFY(!main->measureChangesToolbarAction->icon().isNull());
    }

    void withoutAPreviousMeasurementTheWindowSaysSo() {
        Measure();
        ChangesWindow& w = Open();
        QCOMPARE(w.reportList->topLevelItemCount(), 0);
        QVERIFY2(w.stateLabel->text().contains(QStringLiteral("前回の計測結果がありません")),
                 qPrintable(w.stateLabel->text()));
        w.close();
    }

    void rowsKindsFilesAndADoubleClick() {
        Measure();
        const std::string before = CacheHeaderLine(*Global().CurrentDrive);
        ChangeTheTree();
        Measure();
        const std::string after = CacheHeaderLine(*Global().CurrentDrive);
        ChangesWindow& w = Open();
        const QString title = w.windowTitle();
        QVERIFY2(title.contains(Q(before.substr(0, 19))) && title.contains(Q(after.substr(0, 19))),
                 qPrintable(title));
        // Largest change first: the root (+89400), then grow (+89000).
        QCOMPARE(w.reportList->topLevelItem(0)->text(0), P(""));
        QCOMPARE(w.reportList->topLevelItem(1)->text(0), P("grow\\"));
        QVERIFY(!RowOf(w.reportList, P("same\\")));
        QTreeWidgetItem* gone = RowOf(w.reportList, P("gone\\"));
        QVERIFY(gone);
        QCOMPARE(gone->text(3), QString()); // 今回: the folder is not there
        QVERIFY(gone->text(1).startsWith('-'));
        QVERIFY(RowOf(w.reportList, P("grow\\"))->text(1).startsWith('+'));

        w.kindCombo->setCurrentIndex(4); // なくなったフォルダ
        QCOMPARE(w.reportList->topLevelItemCount(), 1);
        QCOMPARE(w.reportList->topLevelItem(0)->text(0), P("gone\\"));
        w.kindCombo->setCurrentIndex(3); // 新しいフォルダ
        QCOMPARE(w.reportList->topLevelItemCount(), 1);
        QCOMPARE(w.reportList->topLevelItem(0)->text(0), P("fresh\\"));
        w.kindCombo->setCurrentIndex(0);

        // The files of the chosen folder, from the two indexes.
        w.reportList->setCurrentItem(RowOf(w.reportList, P("")));
        QCOMPARE(w.fileList->topLevelItemCount(), 3);
        QCOMPARE(w.fileList->topLevelItem(0)->text(0), P("grow\\a.bin"));
        QVERIFY(RowOf(w.fileList, P("gone\\x.bin")));

        // A double click shows the folder in the main window; a removed one
        // cannot be shown and the user is told.
        emit w.reportList->itemDoubleClicked(RowOf(w.reportList, P("grow\\")), 0);
        QCOMPARE(Q(SplitRow(main->Rows().front()).Caption), P("grow\\"));
        emit w.reportList->itemDoubleClicked(RowOf(w.reportList, P("gone\\")), 0);
        QCOMPARE(ui.messages.size(), 1);
        w.close();
    }

    void theChangeColumn() {
        Global().ColumnFlags = "11111";
        Measure();
        ChangeTheTree();
        Measure();
        main->FitColumns();
        QVERIFY(main->folderList->columnWidth(kColChange) > 0);
        QCOMPARE(ChangeCell(QStringLiteral("grow")), QStringLiteral("89000=1000"));
        QCOMPARE(ChangeCell(QStringLiteral("same")), QStringLiteral("0=5"));
        // The root's header row holds the reserved space too; its change is
        // the measured folders' alone.
        QCOMPARE(ChangeCell(P("")), QStringLiteral("89400=1305"));
        // Not in the previous measurement: unknown, never 0.
        QCOMPARE(ChangeCell(QStringLiteral("fresh")), QStringLiteral("?"));
        QVERIFY(ChangeTip(QStringLiteral("fresh"), QStringLiteral("?"))
                    .contains(QStringLiteral("不明")));
        QVERIFY(ChangeTip(QStringLiteral("grow"), QStringLiteral("89000=1000"))
                    .contains(QStringLiteral("前回")));

        const QFontMetrics fm(main->folderList->font());
        const CellLayout up = LayoutCell(kColChange, QStringLiteral("89000=1000"), IMG_FOLDER, 0, 0,
                                         200, 20, 9, fm, 0, 0);
        QVERIFY(up.Fill);
        QCOMPARE(up.FillColour, GrowthColour());
        QVERIFY(up.Texts.front().Text.startsWith(QLatin1Char('+')));
        const CellLayout down = LayoutCell(kColChange, QStringLiteral("-300=300"), IMG_FOLDER, 0, 0,
                                           200, 20, 9, fm, 0, 0);
        QCOMPARE(down.FillColour, ShrinkColour());
        QCOMPARE(down.FillRight - down.BarX, down.BarW + 1); // all of it went
        // Beside other rows a bar is the change against the largest change
        // shown: -45 MB of a large folder fills it, -10 MB takes its share.
        const CellLayout most = LayoutCell(kColChange, QStringLiteral("-45000000=500000000"),
                                           IMG_FOLDER, 0, 0, 200, 20, 9, fm, 0, 45000000);
        const CellLayout less = LayoutCell(kColChange, QStringLiteral("-10000000=10000000"),
                                           IMG_FOLDER, 0, 0, 200, 20, 9, fm, 0, 45000000);
        QCOMPARE(most.FillRight - most.BarX, most.BarW + 1);
        QCOMPARE(less.FillRight - less.BarX, static_cast<int>(less.BarW * 10.0 / 45) + 1);
        QCOMPARE(qobject_cast<RowModel*>(main->folderList->model())->LargestChange(), 89400.0);
        const CellLayout unknown =
            LayoutCell(kColChange, QStringLiteral("?"), IMG_FOLDER, 0, 0, 200, 20, 9, fm, 0, 0);
        QVERIFY(!unknown.Bar);
        QCOMPARE(unknown.Texts.front().Text, QStringLiteral("不明"));

        Global().ColumnFlags = "1111";
        main->FitColumns();
        QCOMPARE(main->folderList->columnWidth(kColChange), 0);
    }
};

QTEST_MAIN(ChangesWindowTest)
#include "ChangesWindowTest.moc"
