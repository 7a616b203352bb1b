#include "core/GlobalState.h"
#include "platform/ProgramLocation.h"
#include "support/ResetGlobalState.h"
#include "support/TempDir.h"
#include "ui/main/MainWindow.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace nrvs;

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        test::ResetGlobalState();
        platform::SetExecutablePath(*dir / "norvessa");
    }
    void cleanup() { dir.reset(); }

    void opensWithDefaultsAndSaves54LinesOnClose() {
        {
            MainWindow w({});
            QCOMPARE(w.windowTitle(), QStringLiteral(" Quorvalix - Norvessa -"));
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            // The offscreen screen is 800 by 600: the default 1000 is clamped.
            const QSize screen = QGuiApplication::primaryScreen()->size();
            QCOMPARE(w.width(), qMin(1000, screen.width()));
            QCOMPARE(w.height(), qMin(600, screen.height()));
            w.close();
        }
        StringList lines;
        QCOMPARE(LoadLines(lines, *dir / "norvessa.prm"), 1);
        QCOMPARE(lines.size(), size_t(54));
        QCOMPARE(lines[0],
                 std::to_string(qMin(1000, QGuiApplication::primaryScreen()->size().width())));
        QCOMPARE(lines[1], std::string("600"));
        QCOMPARE(lines[51], std::string("1"));
    }

    void savedGeometryIsAppliedAndWrittenBack() {
        dir->Write("norvessa.prm", "700\r\n450\r\n30\r\n40\r\n");
        {
            MainWindow w({});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.size(), QSize(700, 450));
            w.resize(720, 460);
            w.close();
        }
        StringList lines;
        LoadLines(lines, *dir / "norvessa.prm");
        QCOMPARE(lines[0], std::string("720"));
        QCOMPARE(lines[1], std::string("460"));
    }

    void frameIsFittedIntoTheAvailableArea() {
        const QRect area(0, 0, 1280, 1024);
        // Too wide: as wide as the area, then moved in from the right.
        QCOMPARE(MainWindow::FitFrame(QRect(100, 0, 5000, 600), area), QRect(0, 0, 1280, 600));
        QCOMPARE(MainWindow::FitFrame(QRect(10, 20, 800, 2000), area), QRect(10, 0, 800, 1024));
        // A window that fits stays exactly where it is.
        QCOMPARE(MainWindow::FitFrame(QRect(30, 40, 800, 600), area), QRect(30, 40, 800, 600));
        QCOMPARE(MainWindow::FitFrame(QRect(480, 424, 800, 600), area), QRect(480, 424, 800, 600));
        // Running off any edge: moved back inside, size kept.
        QCOMPARE(MainWindow::FitFrame(QRect(1000, 900, 800, 600), area), QRect(480, 424, 800, 600));
        QCOMPARE(MainWindow::FitFrame(QRect(-300, -50, 800, 600), area), QRect(0, 0, 800, 600));
        // An area that leaves room for a panel at the top and a dock on the left.
        const QRect withPanel(64, 27, 1216, 997);
        QCOMPARE(MainWindow::FitFrame(QRect(0, 0, 1280, 1024), withPanel), withPanel);
        // No known area: unchanged.
        QCOMPARE(MainWindow::FitFrame(QRect(5, 5, 5000, 5000), QRect()), QRect(5, 5, 5000, 5000));
    }

    void oversizedWindowFitsTheScreenFrameIncluded() {
        dir->Write("norvessa.prm", "5000\r\n4000\r\n-200\r\n-100\r\n");
        MainWindow w({});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.refreshTimer->stop();
        w.onRefreshTimer(true);
        const QRect available = w.screen()->availableGeometry();
        QVERIFY2(available.contains(w.frameGeometry()),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                .arg(w.frameGeometry().x())
                                .arg(w.frameGeometry().y())
                                .arg(w.frameGeometry().width())
                                .arg(w.frameGeometry().height())));
        // The status bar is on the screen.
        const QRect status(w.statusBar()->mapToGlobal(QPoint(0, 0)), w.statusBar()->size());
        QVERIFY(w.statusBar()->isVisible());
        QVERIFY(available.contains(status));
        QCOMPARE(Global().MainWidth, w.width());
        QCOMPARE(Global().MainHeight, w.height());
    }

    void geometryRoundTripsThroughTheParameterFile() {
        dir->Write("norvessa.prm", "720\r\n430\r\n37\r\n52\r\n");
        QRect first;
        {
            MainWindow w({});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.refreshTimer->stop();
            w.onRefreshTimer(true);
            QCOMPARE(w.size(), QSize(720, 430));
            QCOMPARE(w.pos(), QPoint(37, 52));
            // Moved and resized by the user, then closed.
            w.move(41, 45);
            w.resize(740, 440);
            QTRY_COMPARE(w.pos(), QPoint(41, 45));
            first = w.frameGeometry();
            w.close();
        }
        StringList lines;
        QCOMPARE(LoadLines(lines, *dir / "norvessa.prm"), 1);
        QCOMPARE(lines[0], std::string("740"));
        QCOMPARE(lines[1], std::string("440"));
        QCOMPARE(lines[2], std::string("41"));
        QCOMPARE(lines[3], std::string("45"));
        // The next start puts the window exactly there, and saves the same.
        test::ResetGlobalState();
        {
            MainWindow w({});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.refreshTimer->stop();
            w.onRefreshTimer(true);
            QCOMPARE(w.frameGeometry(), first);
            w.close();
        }
        StringList again;
        LoadLines(again, *dir / "norvessa.prm");
        QCOMPARE(StringList(again.begin(), again.begin() + 4),
                 StringList(lines.begin(), lines.begin() + 4));
    }

    void minimumSizeKeepsEveryStatusPanelWhole() {
        dir->Write("norvessa.prm", "200\r\n120\r\n0\r\n0\r\n");
        MainWindow w({});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.refreshTimer->stop();
        // Long texts as a measured drive shows them.
        const QStringList texts{"X",
                                "ボリュームラベル",
                                "Total  999.99 GB",
                                "Free  123.45 MB",
                                "Snap.  2026/12/07 09:47:13",
                                "Lap.  01:23:45",
                                ""};
        for (int i = 0; i < 7; ++i)
            w.statusPanels[static_cast<size_t>(i)]->setText(texts[i]);
        for (const QSize& tried : {QSize(200, 120), QSize(1, 1), w.minimumSize()}) {
            w.resize(tried);
            QCoreApplication::processEvents();
            QVERIFY(w.width() >= w.minimumWidth());
            QVERIFY(w.height() >= w.minimumHeight());
            const QRect bar = w.statusBar()->rect();
            int right = -1;
            for (int i = 0; i < 7; ++i) {
                const QLabel* p = w.statusPanels[static_cast<size_t>(i)];
                const QRect r = QRect(p->mapTo(w.statusBar(), QPoint(0, 0)), p->size());
                QVERIFY2(bar.contains(r),
                         qPrintable(QStringLiteral("panel %1 outside the status bar").arg(i)));
                QVERIFY2(r.left() > right, qPrintable(QStringLiteral("panel %1 overlaps").arg(i)));
                right = r.right();
                if (i != 1) // a volume label may be longer than its panel
                    QVERIFY2(p->fontMetrics().horizontalAdvance(p->text()) <=
                                 p->contentsRect().width(),
                             qPrintable(QStringLiteral("panel %1 cuts its text").arg(i)));
            }
            // The tree and list keep some rows.
            QVERIFY(w.folderTree->height() >= 3 * w.folderTree->fontMetrics().height());
        }
        w.close();
        // A saved size below the minimum is not kept.
        StringList lines;
        LoadLines(lines, *dir / "norvessa.prm");
        QVERIFY(std::stoi(lines[0]) >= w.minimumWidth());
    }

  private:
    std::unique_ptr<test::TempDir> dir;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
