// The drive information and version dialogs, the drive monitor and the
// folder monitor, driven offscreen through the main window.
#include "core/measure/Measure.h"
#include "core/drives/Monitors.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/Drives.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedUi.h"
#include "ui/info/DriveInfoDialog.h"
#include "ui/info/DriveMonitorWindow.h"
#include "ui/info/FolderMonitorWindow.h"
#include "ui/info/VersionDialog.h"
#include "ui/main/MainWindow.h"

#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace nrvs;

namespace {
QStringList Lines(const std::string& file) {
    StringList lines;
    LoadLines(lines, file);
    QStringList out;
    for (const auto& l : lines)
        out << QString::fromStdString(l);
    return out;
}
} // namespace

class InfoWindowsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;

    std::string ExeFile(const char* name) const { return drive->ExeDir() / name; }

    // Only the given letters are fixed disks; every other letter is unused.
    void OnlyFixedDisks(std::initializer_list<int> letters) {
        DriveTable& t = Global().Drives;
        for (int n = 0; n < 26; ++n)
            t.ByLetter(n)->DriveType = 0;
        for (int n : letters) {
            t.ByLetter(n)->DriveType = 3;
            t.ByLetter(n)->Category = 2;
        }
        t.RefreshListing(1);
    }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        // A main window well inside the screen, so that the monitors' first
        // places are not pulled back onto it.
        drive->ExeDir().Write("norvessa.prm", "600\r\n400\r\n60\r\n40\r\n");
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        drive->Dir().Write("w/a", std::string(1000, 'a'));
        drive->Dir().Write("w/sub/b", std::string(3000, 'b'));
    }
    void cleanup() {
        SetMessageUi(nullptr);
        drive.reset();
    }

    void driveInformationShowsTheCurrentRecord() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        DriveRecord& cur = *Global().CurrentDrive;
        QCOMPARE(cur.RootPath, drive->Root());
        cur.SerialNumber = 0xABC;
        cur.SectorsPerCluster = 8;
        cur.BytesPerSector = 512;
        cur.VolumeName.clear();
        cur.FileSystemFlags = 0x40;
        cur.Removable = 0;
        // Through the menu item, modally; read while it is up.
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            DriveInfoDialog& d = *w->DriveInformation;
            for (int i = 0; i < d.infoTable->rowCount(); ++i)
                seen << d.infoTable->item(i, 1)->text();
            QCOMPARE(d.windowTitle(), QStringLiteral(" ドライブ情報"));
            QCOMPARE(d.infoTable->item(6, 0)->text(), QStringLiteral("クラスタサイズ"));
            QVERIFY(!d.infoTable->item(0, 0)->icon().isNull());
            QTest::keyClick(d.infoTable, Qt::Key_Escape);
        });
        QVERIFY(w->viewDriveInfoAction->isEnabled());
        w->viewDriveInfoAction->trigger();
        QVERIFY(!w->DriveInformation->isVisible());
        QCOMPARE(seen.size(), 20);
        QCOMPARE(seen[0], QString(QChar(drive->Letter())));
        QCOMPARE(seen[1], QString());
        QCOMPARE(seen[2], QStringLiteral("00000ABC"));
        QCOMPARE(seen[6], QStringLiteral("4,096"));
        QCOMPARE(seen[9], QStringLiteral("no"));
        QCOMPARE(seen[18], QStringLiteral("yes"));
        QCOMPARE(seen[19], QStringLiteral("no"));

        // Values are those of the record at each showing.
        cur.VolumeName = "ラベル";
        w->DriveInformation->show();
        QCOMPARE(w->DriveInformation->infoTable->item(1, 1)->text(), QStringLiteral("ラベル"));
        QCOMPARE(w->DriveInformation->height(), 362);
        QVERIFY(w->DriveInformation->width() >= 404);
        w->DriveInformation->hide();

        // A drive without volume data: the command does nothing.
        cur.Ready = 0;
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            shown = w->DriveInformation->isVisible();
            w->DriveInformation->close();
        });
        w->driveInfoPopupAction->trigger();
        QCoreApplication::processEvents();
        QVERIFY(!shown);
    }

    void versionShowsBuildComputerAndUser() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        Global().ComputerName = "host-1";
        Global().UserName = "ユーザー";
        QVERIFY(w->helpVersionAction->isEnabled());
        QString line, computer, user;
        QTimer::singleShot(0, this, [&] {
            VersionDialog& v = *w->VersionInfo;
            line = v.copyrightLabel->text();
            computer = v.computerNameLabel->text();
            user = v.userNameLabel->text();
            QVERIFY(v.copyrightLabel->font().bold());
            QCOMPARE(v.computerLabel->text(), QStringLiteral("Computer "));
            QVERIFY(!v.iconLabel->pixmap().isNull());
            QTest::keyClick(&v, Qt::Key_Escape);
        });
        w->helpVersionAction->trigger();
        QVERIFY(!w->VersionInfo->isVisible());
        QVERIFY2(line.startsWith("Norvessa  Version 0."), qPrintable(line));
        QCOMPARE(computer, QStringLiteral("host-1"));
        QCOMPARE(user, QStringLiteral("ユーザー"));
        // Names are read at each showing, not kept from the first.
        Global().UserName = "other";
        w->VersionInfo->show();
        QCOMPARE(w->VersionInfo->userNameLabel->text(), QStringLiteral("other"));
        w->VersionInfo->close();
    }

    void driveMonitorFirstUseRowsAndHeight() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        const int temp = drive->Letter() - 'A';
        OnlyFixedDisks({2, temp});
        w->windowDriveMonitorAction->trigger();
        DriveMonitorWindow& m = *w->DriveMonitor;
        QVERIFY(m.isVisible());
        QCOMPARE(m.windowTitle(), QStringLiteral(" DriveMonitor"));
        // Clear of the main window's title bar (the layout test checks the
        // controls at every screen size).
        QVERIFY(m.frameGeometry().top() >= w->geometry().top() ||
                !m.frameGeometry().intersects(w->frameGeometry()));
        QCOMPARE(qRound(m.windowOpacity() * 255), 192);
        QCOMPARE(m.refreshTimer->interval(), 60000);
        QVERIFY(m.refreshTimer->isActive());
        QVERIFY(m.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!m.panel->isEnabled());

        // One row per volume: the temporary folder's letter lies on the
        // volume of C: or on a volume of its own.
        const bool shared =
            platform::DriveVolumeId("C:\\") == platform::DriveVolumeId(drive->Root());
        const int rows = shared ? 1 : 2;
        QCOMPARE(m.driveList->topLevelItemCount(), rows);
        QVERIFY(m.width() >= 194);
        QCOMPARE(m.height(), MonitorClientHeight(rows));
        QTreeWidgetItem* real = m.driveList->topLevelItem(rows - 1);
        QCOMPARE(real->text(0), shared ? QStringLiteral("C: ") + QChar(drive->Letter()) + ":"
                                       : QString(QChar(drive->Letter())) + ":");
        // Refreshed at once: the temporary folder's volume has values.
        QVERIFY(real->text(1).endsWith("B"));
        QVERIFY(!real->text(1).contains(' '));
        QVERIFY(real->text(3) != "-");
        // Every column is wide enough for its widest value at the list's font.
        const QFontMetrics fm(m.driveList->font());
        QVERIFY(m.driveList->columnWidth(1) >= fm.horizontalAdvance("999.99GB"));
        QVERIFY(m.driveList->columnWidth(0) >= fm.horizontalAdvance(real->text(0)) + 20);

        // Rows are rebuilt at the next showing only. A letter without a
        // folder: a row of its own, with dashes.
        int free = 3;
        while (free < 26 &&
               (free == temp || !platform::DriveRoots()[static_cast<size_t>(free)].empty()))
            ++free;
        QVERIFY(free < 26);
        OnlyFixedDisks({2, free, temp});
        QCOMPARE(m.driveList->topLevelItemCount(), rows);
        m.close();
        w->windowDriveMonitorAction->trigger();
        QCOMPARE(m.driveList->topLevelItemCount(), rows + 1);
        QCOMPARE(m.height(), MonitorClientHeight(rows + 1));
        QTreeWidgetItem* none = nullptr;
        for (int i = 0; i < m.driveList->topLevelItemCount(); ++i)
            if (m.driveList->topLevelItem(i)->text(0) == QString(QChar('A' + free)) + ":")
                none = m.driveList->topLevelItem(i);
        QVERIFY(none);
        QCOMPARE(none->text(1), QStringLiteral("-"));
        m.close();
    }

    void driveMonitorDrawsItsValuesReadableInsideTheirColumns() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        OnlyFixedDisks({drive->Letter() - 'A'});
        w->windowDriveMonitorAction->trigger();
        DriveMonitorWindow& m = *w->DriveMonitor;
        QTreeWidgetItem* row = m.driveList->topLevelItem(0);
        // The widest value a cell can get.
        row->setText(1, "1,023.99TB");
        const QImage image = m.driveList->viewport()->grab().toImage();
        const QRect cell = m.driveList->visualItemRect(row);
        // Dark pixels of the total cell: drawn as enabled text (the panel's
        // being disabled would grey it), and none spilling left of the
        // column or cut at its left edge (its first digits lost).
        auto darkIn = [&](int from, int to) {
            int n = 0;
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = from; x < to; ++x)
                    n += qGray(image.pixel(x, y)) < 100;
            return n;
        };
        QVERIFY2(darkIn(40, 95) > 10, "the values are drawn in the enabled text colour");
        QCOMPARE(darkIn(33, 40), 0);
        QCOMPARE(darkIn(40, 42), 0);
        m.close();
    }

    void driveMonitorKeepsItsPlaceAndStopsWhenHidden() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        DriveMonitorWindow& m = *w->DriveMonitor;
        w->windowDriveMonitorAction->trigger();
        m.move(37, 45);
        m.close();
        QVERIFY(!m.refreshTimer->isActive());
        QCOMPARE(Lines(ExeFile("norvessa.mdv")), (QStringList{"37", "45", "192", "60000"}));
        w->windowDriveMonitorAction->trigger();
        QCOMPARE(m.pos(), QPoint(37, 45));

        // Hidden: no refresh keeps running, and a late tick does not
        // start one again.
        m.hide();
        QVERIFY(!m.refreshTimer->isActive());
        m.onRefreshTimer();
        QVERIFY(!m.refreshTimer->isActive());
        // Shown again: refreshed at once and running.
        for (int i = 0; i < m.driveList->topLevelItemCount(); ++i)
            m.driveList->topLevelItem(i)->setText(1, "old");
        m.show();
        QVERIFY(m.refreshTimer->isActive());
        for (int i = 0; i < m.driveList->topLevelItemCount(); ++i)
            QVERIFY(m.driveList->topLevelItem(i)->text(1) != "old");
        m.close();
    }

    void monitorSettingsFromTheFile() {
        // Values the user wrote are applied and written back as they were;
        // a value that would hide the window or spin the timer is used in
        // range only.
        drive->ExeDir().Write("norvessa.mdv", "20\r\n30\r\n999\r\n0\r\n");
        {
            auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
            w->windowDriveMonitorAction->trigger();
            QCOMPARE(w->DriveMonitor->pos(), QPoint(20, 30));
            QCOMPARE(w->DriveMonitor->windowOpacity(), 1.0);
            QCOMPARE(w->DriveMonitor->refreshTimer->interval(), kMinimumInterval);
            w->DriveMonitor->close();
            QCOMPARE(Lines(ExeFile("norvessa.mdv")), (QStringList{"20", "30", "999", "0"}));
        }
        // A damaged file gives the defaults: the place without a file.
        QPoint firstPlace;
        QFile::remove(QString::fromStdString(ExeFile("norvessa.mdv")));
        {
            auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
            w->windowDriveMonitorAction->trigger();
            firstPlace = w->DriveMonitor->pos();
            w->DriveMonitor->close();
        }
        drive->ExeDir().Write("norvessa.mdv", std::string("\xff\xfe garbage\r\n\r\nx\r\n", 16));
        {
            auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
            w->windowDriveMonitorAction->trigger();
            QCOMPARE(w->DriveMonitor->pos(), firstPlace);
            QCOMPARE(qRound(w->DriveMonitor->windowOpacity() * 255), 192);
            QCOMPARE(w->DriveMonitor->refreshTimer->interval(), 60000);
            w->DriveMonitor->close();
        }
        // A place on no screen is brought back onto one.
        drive->ExeDir().Write("norvessa.mdv", "-50000\r\n90000\r\n");
        {
            auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
            w->windowDriveMonitorAction->trigger();
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            QVERIFY(screen.contains(w->DriveMonitor->frameGeometry()));
            w->DriveMonitor->close();
        }
    }

    void folderMonitorWatchesTheShownFolder() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        w->OpenPath(drive->Root() + "w\\", true);
        // Ctrl+L opens it although its menu item is hidden.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(!w->windowFolderMonitorAction->isVisible());
        QTest::keyClick(w.get(), Qt::Key_L, Qt::ControlModifier);
        FolderMonitorWindow& f = *w->FolderMonitor;
        QVERIFY(f.isVisible());
        QCOMPARE(f.windowTitle(), QStringLiteral(" FolderMonitor"));
        QVERIFY(f.width() >= 243 && f.height() >= 107);
        QCOMPARE(f.Folder(), drive->Root() + "w\\");
        QCOMPARE(f.measuredLabel->text(), QStringLiteral("未計測 "));
        // Clear of the drive monitor's place by the top of the main window.
        QVERIFY(f.frameGeometry().top() > w->geometry().top());
        QTRY_VERIFY_WITH_TIMEOUT(f.currentLabel->text().startsWith("3.91 KB"), 30000);
        QCOMPARE(f.differenceLabel->text(), QStringLiteral("±0 B"));
        QVERIFY(f.contentsLabel->text().startsWith("2 ファイル"));

        // The next tick counts again and shows the change since opening.
        drive->Dir().Write("w/sub/new", std::string(2048, 'n'));
        f.onRefreshTimer();
        QTRY_VERIFY_WITH_TIMEOUT(f.differenceLabel->text() == QStringLiteral("+2.00 KB"), 30000);
        QVERIFY(f.refreshTimer->isActive());
        // Hidden, it neither ticks nor starts a count on a late tick.
        f.hide();
        QVERIFY(!f.refreshTimer->isActive());
        f.onRefreshTimer();
        QVERIFY(!f.Counting());
        QVERIFY(!f.refreshTimer->isActive());
        f.show();
        QVERIFY(f.refreshTimer->isActive());
        f.move(11, 12);

        // The main window's closing closes both monitors, which save.
        w->windowDriveMonitorAction->trigger();
        w->close();
        QVERIFY(!f.isVisible());
        QVERIFY(!w->DriveMonitor->isVisible());
        QCOMPARE(Lines(ExeFile("norvessa.mfr")), (QStringList{"11", "12", "192", "60000"}));
        QVERIFY(QFile::exists(QString::fromStdString(ExeFile("norvessa.mdv"))));
    }

    // Five-digit counts of files and folders fit the window in the font in use.
    void folderMonitorHoldsLargeCounts() {
        for (int d = 0; d < 1200; ++d)
            for (int f = 0; f < 9; ++f)
                drive->Dir().Write("many/フォルダ" + std::to_string(d) + "/" + std::to_string(f),
                                   "x");
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        w->OpenPath(drive->Root() + "many\\", true);
        w->windowFolderMonitorAction->trigger();
        FolderMonitorWindow& f = *w->FolderMonitor;
        QTRY_VERIFY_WITH_TIMEOUT(f.contentsLabel->text().startsWith("10,800 ファイル"), 30000);
        for (QLabel* l : f.findChildren<QLabel*>())
            QVERIFY2(l->sizeHint().width() <= l->width() && l->geometry().right() < f.width(),
                     qPrintable(l->text()));
        f.close();
        test::RemoveTree(drive->Native() + "many");
    }

    void folderMonitorShowsTheMeasuredSizeAndAFolderThatGoes() {
        auto w = test::OpenMainWindow(*drive, {.waitUntilExposed = true});
        Global().AskBeforeMeasure = 0;
        MeasureHooks hooks;
        QCOMPARE(MeasureDrives(hooks), 1);
        w->OpenPath(drive->Root() + "w\\", true);
        w->windowFolderMonitorAction->trigger();
        FolderMonitorWindow& f = *w->FolderMonitor;
        QCOMPARE(f.measuredLabel->text(), QStringLiteral("3.91 KB"));
        QTRY_VERIFY_WITH_TIMEOUT(f.currentLabel->text().startsWith("3.91 KB"), 30000);
        test::RemoveTree(drive->Native() + "w");
        f.onRefreshTimer();
        QTRY_VERIFY_WITH_TIMEOUT(
            f.currentLabel->text().startsWith(QStringLiteral("読み取れません")), 30000);
        QCOMPARE(f.differenceLabel->text(), QStringLiteral("-"));
        // Closing while nothing or a count runs returns at once.
        f.close();
        QVERIFY(!f.Counting());
    }
};

QTEST_MAIN(InfoWindowsTest)
#include "InfoWindowsTest.moc"
