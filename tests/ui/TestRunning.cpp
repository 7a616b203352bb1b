#include "ui/running/Sluting.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace nrvs;

class TestRunning : public QObject {
    Q_OBJECT
private slots:
    void jobWithoutStopReturnsOne() {
        TFMing dialog;
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
        QVERIFY(dialog.LLing->text().isEmpty());
    }

    void stopAndEscapeStopTheJob() {
        TFMing dialog;
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
        QVERIFY(!dialog.BTstop->isEnabled());  // disabled until the next preparation
        dialog.PrepareRunning(QString(), true);
        QVERIFY(dialog.BTstop->isEnabled());

        result = dialog.RunJob([&] { QTest::mouseClick(dialog.BTstop, Qt::LeftButton); });
        QCOMPARE(result, 0);
    }

    void escapeCannotStopAJobWithoutStopButton() {
        TFMing dialog;
        dialog.PrepareRunning(QStringLiteral(" 整列中..."), false);
        int result = dialog.RunJob([&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QApplication::processEvents();
        });
        QCOMPARE(result, 1);
        QVERIFY(!dialog.StopRequested());
    }

    void measurementHooksRunInTheDialog() {
        TFMing dialog;
        RunningHooks hooks(dialog);
        bool ran = false;
        hooks.RunJob(" 計測中...", [&] {
            ran = dialog.isVisible();
            hooks.SetProgressText("X:\\a\\...");
            QCOMPARE(dialog.LLing->text(), QStringLiteral("X:\\a\\..."));
            QVERIFY(!hooks.StopRequested());
        });
        QVERIFY(ran);
    }
};

QTEST_MAIN(TestRunning)
#include "TestRunning.moc"
