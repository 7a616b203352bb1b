#include "support/TempDir.h"
#include "ui/Udesktop.h"

#include <QtTest>

using namespace nrvs;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string DesktopFile(const std::string& mimeTypes, const std::string& extra = "") {
    std::string s = "[Desktop Entry]\nType=Application\nName=App\nExec=app %f\n";
    if (!mimeTypes.empty()) s += "MimeType=" + mimeTypes + "\n";
    return s + extra;
}
} // namespace

class TestDesktopOpen : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::TempDir> dir;
    DesktopDirs dirs;

private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        dir->MakeDir("config");
        dir->MakeDir("system-config");
        dir->MakeDir("home/applications");
        dir->MakeDir("usr/applications");
        // Only the test's folders: the machine's own applications stay out.
        dirs = DesktopDirs{};
        dirs.Config = {Q(*dir / "config"), Q(*dir / "system-config")};
        dirs.Data = {Q(*dir / "home"), Q(*dir / "usr")};
    }
    void cleanup() { dir.reset(); }

    void applicationsClaimTheirTypesAndTheTypesBelow() {
        QVERIFY(!HasApplicationFor("text/plain", dirs));
        dir->Write("usr/applications/editor.desktop", DesktopFile("text/plain;"));
        QVERIFY(HasApplicationFor("text/plain", dirs));
        // A C++ source is text/plain too; a picture is not.
        QVERIFY(HasApplicationFor("text/x-c++src", dirs));
        QVERIFY(!HasApplicationFor("image/png", dirs));
        // A folder below applications/ is part of the id, and still installed.
        dir->Write("usr/applications/vendor/viewer.desktop", DesktopFile("image/png;image/jpeg"));
        QVERIFY(HasApplicationFor("image/png", dirs));
        // Hidden entries count as uninstalled.
        dir->Write("usr/applications/sheet.desktop", DesktopFile("application/vnd.oasis.opendocument.spreadsheet", "Hidden=true\n"));
        QVERIFY(!HasApplicationFor("application/vnd.oasis.opendocument.spreadsheet", dirs));
        // The user's copy of an id hides the system's.
        dir->Write("home/applications/editor.desktop", DesktopFile("", "Hidden=true\n"));
        QVERIFY(!HasApplicationFor("text/plain", dirs));
    }

    void associationFilesAddAndRemove() {
        dir->Write("usr/applications/viewer.desktop", DesktopFile(""));
        dir->Write("usr/applications/editor.desktop", DesktopFile("text/plain;"));
        // A default naming an installed application, even one that claims nothing.
        dir->Write("config/mimeapps.list", "[Default Applications]\nimage/png=gone.desktop;viewer.desktop;\n");
        QVERIFY(HasApplicationFor("image/png", dirs));
        // Defaults and additions naming uninstalled applications do not count.
        dir->Write("config/mimeapps.list", "[Default Applications]\nimage/png=gone.desktop\n"
                                           "[Added Associations]\nimage/gif=gone.desktop;\n");
        QVERIFY(!HasApplicationFor("image/png", dirs));
        QVERIFY(!HasApplicationFor("image/gif", dirs));
        dir->Write("system-config/mimeapps.list", "[Added Associations]\nimage/gif=viewer.desktop\n");
        QVERIFY(HasApplicationFor("image/gif", dirs));
        // The user removes the editor's claim; an addition below the removal
        // does not bring it back.
        dir->Write("config/mimeapps.list", "# mine\n[Removed Associations]\ntext/plain=editor.desktop;\n");
        dir->Write("system-config/mimeapps.list", "[Added Associations]\ntext/plain=editor.desktop\n");
        QVERIFY(!HasApplicationFor("text/plain", dirs));
        QVERIFY(!HasApplicationFor("text/x-c++src", dirs));
        // A desktop's own association file comes first.
        dirs.Desktops = {"openbox"};
        dir->Write("config/openbox-mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
        QVERIFY(HasApplicationFor("text/plain", dirs));
        // Damaged files are read as far as they make sense.
        dir->Write("config/mimeapps.list", "[Default Applications\n=\n\x01\xff=\nimage/bmp\n=viewer.desktop\n"
                                           "[Default Applications]\nimage/bmp = viewer.desktop ;\n");
        QVERIFY(HasApplicationFor("image/bmp", dirs));
    }

    void typesFromNameAndContent() {
        dir->Write("notes.txt", "plain words\n");
        dir->Write("picture", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, '\0'));
        QCOMPARE(FileMimeType(*dir / "notes.txt"), QString("text/plain"));
        QCOMPARE(FileMimeType(*dir / "picture"), QString("image/png"));
        // A name that is not UTF-8 is still read.
        dir->Write("odd\xff.png", std::string("\x89PNG\r\n\x1a\n", 8));
        QCOMPARE(FileMimeType(*dir / "odd\xff.png"), QString("image/png"));
        // Nothing registered: the file is not handed to the launcher.
        QCOMPARE(OpenWithDesktop(*dir / "notes.txt", dirs), OpenResult::NoApplication);
    }
};

QTEST_MAIN(TestDesktopOpen)
#include "TestDesktopOpen.moc"
