#include "core/Utglobal.h"
#include "platform/Pexe.h"
#include "support/TempDir.h"
#include "ui/main/Utmain.h"

#include <QtTest>

using namespace nrvs;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        Global() = GlobalState{};
        platform::SetExecutablePath(*dir / "norvessa");
    }
    void cleanup() { dir.reset(); }

    void opensWithDefaultsAndSaves52LinesOnClose() {
        {
            TFMmain w({});
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
        QCOMPARE(lines.size(), size_t(52));
        QCOMPARE(lines[0], std::to_string(qMin(1000, QGuiApplication::primaryScreen()->size().width())));
        QCOMPARE(lines[1], std::string("600"));
        QCOMPARE(lines[51], std::string("1"));
    }

    void savedGeometryIsAppliedAndWrittenBack() {
        dir->Write("norvessa.prm", "700\r\n450\r\n30\r\n40\r\n");
        {
            TFMmain w({});
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

    void sizeIsClampedToTheScreen() {
        QCOMPARE(TFMmain::ClampedSize(5000, 600, QSize(1280, 1024)), QSize(1280, 600));
        QCOMPARE(TFMmain::ClampedSize(800, 2000, QSize(1280, 1024)), QSize(800, 1024));
        QCOMPARE(TFMmain::ClampedSize(800, 600, QSize()), QSize(800, 600));
    }

private:
    std::unique_ptr<test::TempDir> dir;
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
