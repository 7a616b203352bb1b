#include "ui/running/RunningDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace nrvs;

namespace {
// Counts the dialog's paints, and when it is shown starts a timer due well
// before the job would have started had it waited for the dialog's own
// timer (made ten seconds long by the test, so that a slow machine cannot
// pass the paint off as the timer nor the timer as the paint).
class ShownAndPainted : public QObject {
  public:
    int paints = 0;
    bool laterTimerFired = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        if (event->type() == QEvent::Show)
            QTimer::singleShot(5000, this, [this] { laterTimerFired = true; });
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

class RunningDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void jobWithoutStopReturnsOne() {
        RunningDialog dialog;
        dialog.PrepareRunning(QStringLiteral(" 計測中..."), true);
        QCOMPARE(dialog.windowTitle(), QStringLiteral(" 計測中..."));
        bool visibleWhileRunning = false;
        int result = dialog.RunJob([&] {
            visibleWhileRunning = dialog.isVisible();
            dialog.SetProgressText(QStringLiteral("C:\\..."));
        });
        QCOMPARE(result, 1);
        QVERIFY(visibleWhileRunning);
        QVERIFY(!dialog.isVisible());
        // An empty caption keeps the last one.
        dialog.PrepareRunning(QString(), true);
        QCOMPARE(dialog.windowTitle(), QStringLiteral(" 計測中..."));
        QVERIFY(dialog.captionLabel->text().isEmpty());
    }

    // The job starts as soon as the dialog is on screen: after its first
    // paint, not after a fixed wait that a short measurement would spend
    // showing an idle dialog.
    void jobStartsOnceTheDialogIsPainted() {
        RunningDialog dialog;
        dialog.refreshTimer->setInterval(10000);
        ShownAndPainted watch;
        dialog.installEventFilter(&watch);
        for (int run = 0; run < 2; ++run) {
            watch.paints = 0;
            watch.laterTimerFired = false;
            dialog.PrepareRunning(QStringLiteral(" 計測中..."), true);
            int paintsAtStart = -1;
            bool laterAtStart = true;
            int starts = 0;
            const int result = dialog.RunJob([&] {
                ++starts;
                paintsAtStart = watch.paints;
                laterAtStart = watch.laterTimerFired;
                // Neither the paint's start nor the timer's runs it again.
                QApplication::processEvents();
                QTest::qWait(150);
            });
            QCOMPARE(result, 1);
            QCOMPARE(starts, 1);
            QVERIFY(paintsAtStart > 0);
            QVERIFY(!laterAtStart);
        }
        // An empty job ends at once too.
        QCOMPARE(dialog.RunJob({}), 1);
    }

    void stopAndEscapeStopTheJob() {
        RunningDialog dialog;
        dialog.PrepareRunning(QStringLiteral(" 計測中..."), true);
        int looks = 0;
        int result = dialog.RunJob([&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            // The job looks at the button between its steps.
            while (!dialog.StopRequested() && looks < 1000) {
                ++looks;
                QApplication::processEvents();
            }
        });
        QCOMPARE(result, 0);
        QVERIFY(looks < 1000);
        QVERIFY(!dialog.stopButton->isEnabled()); // disabled until the next preparation
        dialog.PrepareRunning(QString(), true);
        QVERIFY(dialog.stopButton->isEnabled());

        result = dialog.RunJob([&] { QTest::mouseClick(dialog.stopButton, Qt::LeftButton); });
        QCOMPARE(result, 0);
    }

    void escapeCannotStopAJobWithoutStopButton() {
        RunningDialog dialog;
        dialog.PrepareRunning(QStringLiteral(" 整列中..."), false);
        int result = dialog.RunJob([&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QApplication::processEvents();
        });
        QCOMPARE(result, 1);
        QVERIFY(!dialog.StopRequested());
    }

    void toolWindowWithOnlyACloseBoxThatStops() {
        RunningDialog dialog;
        const Qt::WindowFlags f = dialog.windowFlags();
        QCOMPARE(f & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(f.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(f.testFlag(Qt::WindowTitleHint));
        QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!f.testFlag(Qt::WindowContextHelpButtonHint));
        QVERIFY(dialog.testAttribute(Qt::WA_X11NetWmWindowTypeToolBar));
        // A fixed size: nothing to maximise.
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());

        // The close box during a job is STOP; the dialog stays until the job returns.
        dialog.PrepareRunning(QStringLiteral(" 計測中..."), true);
        bool visibleAfterClose = false;
        int result = dialog.RunJob([&] {
            dialog.close();
            visibleAfterClose = dialog.isVisible();
        });
        QCOMPARE(result, 0);
        QVERIFY(visibleAfterClose);
        QVERIFY(dialog.StopRequested());

        // Without STOP (ranking sort) the close box neither stops nor closes.
        dialog.PrepareRunning(QStringLiteral(" 整列中..."), false);
        result = dialog.RunJob([&] {
            dialog.close();
            visibleAfterClose = dialog.isVisible();
        });
        QCOMPARE(result, 1);
        QVERIFY(visibleAfterClose);
    }

    void progressLineHoldsItsText() {
        RunningDialog dialog;
        dialog.SetProgressText(QStringLiteral("C:\\Program Files\\gjpqy 日本語フォルダ\\..."));
        const QFontMetrics fm = dialog.captionLabel->fontMetrics();
        QVERIFY2(dialog.captionLabel->height() >= fm.height(),
                 qPrintable(QStringLiteral("line %1, font %2")
                                .arg(dialog.captionLabel->height())
                                .arg(fm.height())));
        // Line and STOP button lie inside the dialog and do not overlap.
        const QRect line = dialog.captionLabel->geometry();
        const QRect stop = dialog.stopButton->geometry();
        QVERIFY(!line.intersects(stop));
        QVERIFY(dialog.rect().contains(line));
        QVERIFY(dialog.rect().contains(stop));
    }

    void measurementHooksRunInTheDialog() {
        RunningDialog dialog;
        RunningHooks hooks(dialog);
        bool ran = false;
        hooks.RunJob(" 計測中...", [&] {
            ran = dialog.isVisible();
            hooks.SetProgressText("X:\\a\\...");
            QCOMPARE(dialog.captionLabel->text(), QStringLiteral("X:\\a\\..."));
            QVERIFY(!hooks.StopRequested());
        });
        QVERIFY(ran);
    }

    // A measurement shows what it has counted and how long it runs, below
    // the folder; a deep path keeps its drive and its last folder.
    void countsAndTimeOfAMeasurement() {
        RunningDialog dialog;
        RunningHooks hooks(dialog);
        QString counts, time;
        hooks.RunJob(" 計測中...", [&] {
            hooks.SetProgressCounts(2, 1234567, 3000);
            counts = dialog.countLabel->text();
            time = dialog.timeLabel->text();
        });
        QCOMPARE(counts, QStringLiteral("フォルダ 2　ファイル 1,234,567　2.93 KB"));
        QCOMPARE(time, QStringLiteral("経過 0:00:00"));
        QVERIFY(!dialog.countLabel->geometry().intersects(dialog.captionLabel->geometry()));
        QVERIFY(!dialog.countLabel->geometry().intersects(dialog.stopButton->geometry()));
        QVERIFY(!dialog.timeLabel->geometry().intersects(dialog.stopButton->geometry()));

        const QString deep = QStringLiteral("X:\\") +
                             QStringLiteral("長いフォルダの名前\\").repeated(12) +
                             QStringLiteral("最後\\...");
        dialog.SetProgressText(deep);
        QVERIFY(dialog.captionLabel->text().startsWith(QStringLiteral("X:\\長いフォルダの名前\\")));
        QVERIFY(dialog.captionLabel->text().endsWith(QStringLiteral("\\最後\\...")));
        QVERIFY(dialog.captionLabel->text().contains(QStringLiteral("…")));
        QVERIFY(dialog.captionLabel->fontMetrics().horizontalAdvance(dialog.captionLabel->text()) <=
                dialog.captionLabel->width());
        QCOMPARE(dialog.captionLabel->toolTip(), deep);
    }
};

QTEST_MAIN(RunningDialogTest)
#include "RunningDialogTest.moc"
