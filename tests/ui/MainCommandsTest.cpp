// The main window's commands driven as a user would: the popup in each
// place, copy, move and delete of real trees with their questions, progress
// and failures, properties, the network dialogs and the refresh.
#include "core/GlobalState.h"
#include "core/cache/Cache.h"
#include "lib/DirectoryListing.h"
#include "lib/Messages.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedUi.h"
#include "ui/main/RowModel.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/FolderPickerDialog.h"
#include "ui/main/MainWindow.h"
#include "ui/main/NetworkDriveDialogs.h"
#include "ui/main/PropertiesDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;

namespace {
struct stat StatOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

QStringList Captions(const MainWindow& w) {
    QStringList out;
    for (const auto& r : w.Rows())
        out << QString::fromStdString(SplitRow(r).Caption);
    return out;
}

int RowOf(const MainWindow& w, const QString& caption) {
    return static_cast<int>(Captions(w).indexOf(caption));
}
} // namespace

class MainCommandsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;
    std::string chosen; // what the folder browser answers (native)
    int browsed = 0;

    std::string Root() const { return drive->Root(); }
    const test::TempDir& D() const { return drive->Dir(); }
    // Selects a row of the list by caption, with the focus on the list.
    void SelectRow(MainWindow& w, const QString& caption) {
        w.folderList->setFocus();
        int row = RowOf(w, caption);
        QVERIFY2(row >= 0, qPrintable(caption));
        w.folderList->selectRow(row);
        w.PopupContext = 2;
    }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        chosen.clear();
        browsed = 0;
        SetBrowseFolderChoice([this](const std::string&) {
            ++browsed;
            return chosen;
        });
        D().Write("data/a.txt", std::string(3000, 'a'));
        D().Write("data/sub/b.bin", std::string(70000, 'b'));
        D().MakeDir("database");
        D().Write("one.txt", "1");
    }
    void cleanup() {
        SetBrowseFolderChoice(nullptr);
        SetMessageUi(nullptr);
        ::unsetenv("XDG_DATA_HOME");
        drive.reset();
    }

    void popupOffersWhatEachPlaceAllows() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        auto offered = [&](QAction* a) { return a->isVisible(); };
        // Drive bar.
        w->PopupContext = 0;
        w->onPopupMenu();
        QVERIFY(offered(w->driveInfoPopupAction) && offered(w->fileManagerPopupAction) &&
                offered(w->cleanupPopupAction) && offered(w->defragmentPopupAction));
        QVERIFY(offered(w->formatPopupAction));
        QVERIFY2(!w->formatPopupAction->isEnabled(), "a folder drive is no removable disk");
        QVERIFY(w->formatPopupAction->icon().isNull());
        QVERIFY(!offered(w->copyPopupAction) && !offered(w->movePopupAction) &&
                !offered(w->deletePopupAction));
        // Tree root: offered but disabled.
        w->folderTree->setFocus();
        w->folderTree->setCurrentItem(w->folderTree->topLevelItem(0));
        w->PopupContext = 1;
        w->onPopupMenu();
        QVERIFY(offered(w->copyPopupAction) && offered(w->movePopupAction) &&
                offered(w->deletePopupAction));
        QVERIFY(!w->copyPopupAction->isEnabled() && !w->movePopupAction->isEnabled() &&
                !w->deletePopupAction->isEnabled());
        QVERIFY(offered(w->fileManagerPopupAction) && !offered(w->openWithPopupAction));
        // A right-click on a folder row while the tree has the focus: the
        // menu is built for that row, already focused and selected.
        bool rowMenu = false;
        auto seen = connect(w->popupMenu, &QMenu::aboutToShow, [&] {
            rowMenu = offered(w->fileManagerPopupAction) && w->copyPopupAction->isEnabled() &&
                      w->movePopupAction->isEnabled() && w->deletePopupAction->isEnabled();
        });
        const QModelIndex data = w->folderList->model()->index(RowOf(*w, "data"), 0);
        QTest::mouseClick(w->folderList->viewport(), Qt::RightButton, {},
                          w->folderList->visualRect(data).center());
        disconnect(seen);
        QVERIFY(rowMenu);
        QCOMPARE(w->folderList->currentIndex().row(), data.row());
        w->popupMenu->hide();
        // List: a file row offers the application, a folder row the explorer.
        SelectRow(*w, "one.txt");
        w->onPopupMenu();
        QVERIFY(offered(w->openWithPopupAction) && !offered(w->fileManagerPopupAction));
        QVERIFY(w->deletePopupAction->isEnabled());
        SelectRow(*w, "data");
        w->onPopupMenu();
        QVERIFY(offered(w->fileManagerPopupAction) && !offered(w->openWithPopupAction));
        // The main menu follows the popup: enabled state and image.
        SelectRow(*w, "one.txt");
        w->RefreshControls();
        QCOMPARE(w->toolsDeleteAction->isEnabled(), w->deletePopupAction->isEnabled());
        QVERIFY(!w->toolsFormatAction->isEnabled());
        QVERIFY(w->toolsFormatAction->icon().isNull());

        // The header row acts on the folder shown.
        w->OpenPath(Root() + "data\\", false);
        SelectRow(*w, QString::fromStdString(Root() + "data\\"));
        QCOMPARE(QString::fromStdString(w->SelectedPath()),
                 QString::fromStdString(Root() + "data\\"));
        SelectRow(*w, QString::fromStdString(Root() + "data\\"));
        QVERIFY(w->Properties->Load(w->SelectedPath()));
        QCOMPARE(w->Properties->propertyList->topLevelItem(0)->text(1), QString("data"));
    }

    void copyRefusesItsOwnSubtreeAndCopiesByteForByte() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        struct timespec times[2] = {{1500000000, 0}, {1500000000, 0}};
        ::utimensat(AT_FDCWD, (D() / "data/sub/b.bin").c_str(), times, 0);
        // Into itself and below it: refused before any question.
        for (const std::string& into : {D() / "data", D() / "data/sub"}) {
            SelectRow(*w, "data");
            chosen = into;
            ui.messages.clear();
            w->onToolsCopyOrMove(1);
            QCOMPARE(ui.messages, QStringList{"下位のフォルダは選択できません。"});
        }
        QVERIFY(ui.questions.isEmpty());
        // A sibling whose name begins with the source's: accepted.
        ui.messages.clear();
        SelectRow(*w, "data");
        chosen = D() / "database";
        w->onToolsCopyOrMove(1);
        QCOMPARE(ui.questions.size(), 1);
        QCOMPARE(ui.questions[0],
                 QString::fromStdString("コピー元：" + Root() + "data　\nコピー先：" + Root() +
                                        "database\\　\n\n実行しますか？"));
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("|")));
        QCOMPARE(D().Read("database/data/sub/b.bin"), std::string(70000, 'b'));
        QCOMPARE(StatOf(D() / "database/data/sub/b.bin").st_mtim.tv_sec, time_t(1500000000));
        // Cancelled browser: nothing at all.
        chosen.clear();
        ui.questions.clear();
        SelectRow(*w, "data");
        w->onToolsCopyOrMove(1);
        QVERIFY(ui.questions.isEmpty());
        // A folder on no drive: refused with the reason, never a silent cancel.
        chosen = "no/drive/here";
        ui.messages.clear();
        SelectRow(*w, "data");
        w->onToolsCopyOrMove(1);
        QVERIFY(ui.questions.isEmpty());
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].startsWith(
                     "「no/drive/here」はどのドライブにも含まれないため選択できません。"),
                 qPrintable(ui.messages[0]));
        QVERIFY(ui.messages[0].contains(QString::fromStdString(Root().substr(0, 2))));
    }

    void moveEndsWithTheTreeInItsPlaceAndTheSourceInTheTrash() {
        ::setenv("XDG_DATA_HOME", (drive->ExeDir() / "xdg").c_str(), 1);
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        SelectRow(*w, "data");
        chosen = D() / "database";
        w->onToolsCopyOrMove(0);
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("|")));
        QCOMPARE(D().Read("database/data/a.txt"), std::string(3000, 'a'));
        QVERIFY(!D().Exists("data"));
        QCOMPARE(drive->ExeDir().Read("xdg/Trash/files/data/sub/b.bin"), std::string(70000, 'b'));
        QVERIFY2(RowOf(*w, "data") < 0, "the list shows the move");

        // A move whose replacement the user declines keeps its source.
        D().Write("data2/x", "new");
        D().Write("database/data2/x", "old");
        w->OpenPath(Root(), true);
        SelectRow(*w, "data2");
        chosen = D() / "database";
        w->Progress->AnswerReplace = [](const std::string&) {
            return platform::FileOperationObserver::REPLACE_NO;
        };
        w->onToolsCopyOrMove(0);
        w->Progress->AnswerReplace = nullptr;
        QCOMPARE(D().Read("data2/x"), std::string("new"));
        QCOMPARE(D().Read("database/data2/x"), std::string("old"));
        QCOMPARE(ui.messages.size(), 1);
    }

    void cancelledAndFailedCopiesLeaveNoHalfFile() {
        D().Write("big/huge.bin", std::string(30 << 20, 'h'));
        D().Write("big/small.txt", "s");
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        SelectRow(*w, "big");
        chosen = D() / "database";
        w->Progress->CancelWhen = [](const std::string& name, uint64_t, uint64_t bytes) {
            return name == "huge.bin" && bytes > 0;
        };
        w->onToolsCopyOrMove(1);
        w->Progress->CancelWhen = nullptr;
        QVERIFY(!D().Exists("database/big/huge.bin"));
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].contains("中止"));
        for (const char* n : {"database/big"}) {
            if (!D().Exists(n)) continue;
            QDir dir(QString::fromStdString(D() / n));
            for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden))
                QVERIFY2(f == "small.txt", qPrintable(f));
        }

        // A full file system: the failure is reported, the source whole.
        const std::string small = D() / "small";
        ::mkdir(small.c_str(), 0755);
        if (::geteuid() != 0 || ::mount("nrvstest", small.c_str(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("mounting a tmpfs needs root");
        ui.messages.clear();
        w->OpenPath(Root(), true);
        SelectRow(*w, "big");
        chosen = small;
        w->onToolsCopyOrMove(1);
        ::umount2(small.c_str(), MNT_DETACH);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].startsWith("コピーできなかった項目があります。"));
        QCOMPARE(D().Read("big/huge.bin").size(), size_t(30 << 20));
    }

    void deleteAsksThenUsesTheTrashOrRemovesForGood() {
        ::setenv("XDG_DATA_HOME", (drive->ExeDir() / "xdg").c_str(), 1);
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        Global().UseRecycleBin = 1;
        SelectRow(*w, "one.txt");
        w->onToolsDelete();
        QCOMPARE(ui.questions.last(),
                 QString::fromStdString(
                     "削除：" + Root() +
                     "one.txt　\n\nごみ箱へ移動します。（ファイル 1 個、1 B）\n\n実行しますか？"));
        QVERIFY(!D().Exists("one.txt"));
        QCOMPARE(drive->ExeDir().Read("xdg/Trash/files/one.txt"), std::string("1"));
        QVERIFY(drive->ExeDir().Exists("xdg/Trash/info/one.txt.trashinfo"));
        QVERIFY(RowOf(*w, "one.txt") < 0);

        Global().UseRecycleBin = 0;
        SelectRow(*w, "database");
        ui.answer = ID_NO;
        w->onToolsDelete();
        QVERIFY2(D().Exists("database"), "No keeps it");
        ui.answer = ID_YES;
        SelectRow(*w, "database");
        w->onToolsDelete();
        QVERIFY(ui.questions.last().contains(
            "\nごみ箱を使用しない設定のため通常の方法では復元できません。 \n"));
        QVERIFY2(ui.questions.last().contains("\n完全に削除します。（フォルダ"),
                 qPrintable(ui.questions.last()));
        QVERIFY(!D().Exists("database"));
        QVERIFY(!drive->ExeDir().Exists("xdg/Trash/files/database"));

        // Nothing selected in the drive's root: the commands would reach the
        // root itself, and say so instead of doing nothing without a word.
        w->OpenPath(Root(), false);
        w->folderList->setFocus();
        w->folderList->clearSelection();
        w->folderList->setCurrentIndex(QModelIndex());
        w->PopupContext = 2;
        ui.messages.clear();
        const int asked = static_cast<int>(ui.questions.size());
        w->onToolsDelete();
        QCOMPARE(ui.questions.size(), asked);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].startsWith("ドライブのルートは削除できません。"),
                 qPrintable(ui.messages[0]));
        w->onToolsCopyOrMove(1);
        QCOMPARE(ui.messages.size(), 2);
        QVERIFY2(ui.messages[1].startsWith("ドライブのルートはコピーできません。"),
                 qPrintable(ui.messages[1]));
    }

    // What a delete removed comes off the totals the list shows, in the
    // folder that held it and above, as a new measurement would show them.
    void aDeleteTakesItsFiguresOffTheTotalsShown() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        w->onMeasureDrive();
        // The measurement's dialog took the focus; the list gets it back.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        Global().UseRecycleBin = 0;
        w->OpenPath(Root() + "data\\sub\\", false);
        SelectRow(*w, "b.bin");
        w->onToolsDelete();
        QVERIFY(!D().Exists("data/sub/b.bin") && D().Exists("data/sub"));
        const RowList shown = w->Rows();
        w->OpenPath(Root(), false);
        // The drive's own row and the rest of the volume move with whatever
        // else writes to the disk.
        const std::string data = w->Rows()[RowOf(*w, "data")];
        w->onMeasureDrive();
        QCOMPARE(data, w->Rows()[RowOf(*w, "data")]);
        w->OpenPath(Root() + "data\\sub\\", false);
        QCOMPARE(shown, w->Rows());
    }

    void aLinkToAFolderOutsideIsDeletedAsALink() {
        test::TempDir outside;
        outside.Write("keep/me", "safe");
        QCOMPARE(::symlink((outside.Path() + "keep").c_str(), (D() / "out").c_str()), 0);
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        Global().UseRecycleBin = 0;
        SelectRow(*w, "out");
        w->onToolsDelete();
        QVERIFY(!D().Exists("out"));
        QCOMPARE(outside.Read("keep/me"), std::string("safe"));
    }

    void oddNamesAndASourceThatVanishedGetAClearAnswer() {
        const std::string odd = std::string("bad\xff\xfe") + "name";
        D().Write(odd, "bytes");
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        SelectRow(*w, QString::fromStdString(platform::ShownName(odd)));
        chosen = D() / "database";
        w->onToolsCopyOrMove(1);
        QVERIFY2(ui.messages.isEmpty(), qPrintable(ui.messages.join("|")));
        QCOMPARE(D().Read("database/" + odd), std::string("bytes"));

        // The source goes away between the choice and the copy.
        SelectRow(*w, "one.txt");
        SetBrowseFolderChoice([this](const std::string&) {
            ::unlink((D() / "one.txt").c_str());
            return D() / "database";
        });
        w->onToolsCopyOrMove(1);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].startsWith("コピーできなかった項目があります。"));
        QVERIFY(!D().Exists("database/one.txt"));
    }

    void shortcutsActOnTheRowSelectedNow() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->folderTree->setFocus();
        w->folderTree->setCurrentItem(w->folderTree->topLevelItem(0));
        QVERIFY(!w->toolsDeleteAction->isEnabled()); // the root
        SelectRow(*w, "one.txt");
        QVERIFY(w->toolsDeleteAction->isEnabled());
        ui.answer = ID_NO;
        QTest::keyClick(w->folderList, Qt::Key_Delete);
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(ui.questions[0].contains("one.txt"));
        QTest::keyClick(w->folderList, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(browsed, 1);
    }

    void propertiesShowMeasuredAndUnmeasuredFolders() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        QVERIFY(w->Properties->Load(Root() + "data\\"));
        auto value = [&](const QString& caption) {
            for (int i = 0; i < w->Properties->propertyList->topLevelItemCount(); ++i)
                if (w->Properties->propertyList->topLevelItem(i)->text(0) == caption)
                    return w->Properties->propertyList->topLevelItem(i)->text(1);
            return QString();
        };
        QCOMPARE(value("種類"), QString("フォルダ"));
        QCOMPARE(value("サイズ"), QString("未計測 "));
        w->onMeasureDrive();
        QVERIFY(w->Properties->Load(Root() + "data\\"));
        QVERIFY(value("サイズ").contains("73,000 バイト"));
        QVERIFY(value("内容").startsWith("ファイル 2 個"));
        QVERIFY(w->Properties->Load(Root() + "one.txt"));
        QCOMPARE(value("種類"), QString("ファイル"));
        QVERIFY(value("アクセス許可").startsWith("rw-"));
        QCOMPARE(value("場所"), QString::fromStdString(Root()));
        QVERIFY(!w->Properties->Load(Root() + "gone.txt"));
    }

    void refreshReadsANewFolderAndNetworkDrivesComeAndGo() {
        auto w = test::OpenMainWindow(*drive, {.showFiles = true});
        D().MakeDir("fresh");
        QVERIFY(RowOf(*w, "fresh") < 0);
        w->folderTree->setCurrentItem(w->folderTree->topLevelItem(0));
        w->RefreshFromDisk();
        QVERIFY(RowOf(*w, "fresh") >= 0);

        // A local folder stands in for a share.
        test::TempDir share;
        share.Write("doc.txt", "shared");
        int letter = -1;
        for (int n = 24; n >= 3 && letter < 0; --n)
            if (platform::DriveRoots()[static_cast<size_t>(n)].empty()) letter = n;
        QVERIFY(letter >= 0);
        std::string why;
        QCOMPARE(NetworkConnectDialog::Connect(share.Path(), letter, why), 0);
        QCOMPARE(platform::DriveRoots()[static_cast<size_t>(letter)],
                 share.Path().substr(0, share.Path().size() - 1));
        // the letter is taken now
        QCOMPARE(NetworkConnectDialog::Connect(share.Path(), letter, why), 1);
        QCOMPARE(NetworkConnectDialog::Connect("/no/such/folder", letter - 1, why), 1);
        QCOMPARE(NetworkDisconnectDialog::Disconnect(letter), 0);
        QVERIFY(platform::DriveRoots()[static_cast<size_t>(letter)].empty());
        // disconnecting deletes nothing
        QCOMPARE(share.Read("doc.txt"), std::string("shared"));
    }

    // 操作 → フォルダを開く: the folder browser, opened at the folder shown;
    // the folder chosen is shown on its drive, from another drive too, and
    // asked about alone while it is unmeasured.
    void openFolderShowsTheChosenFolderOnItsDrive() {
        auto w = test::OpenMainWindow(*drive);
        auto* open = w->findChild<QAction*>("fileOpenFolderAction");
        QVERIFY(open && w->fileMenu->actions().contains(open));
        w->OpenPath(Root() + "data\\", false);
        SetBrowseFolderChoice(nullptr);
        std::string startedAt;
        QTimer::singleShot(0, w.get(), [&startedAt] {
            auto* picker = qobject_cast<FolderPickerDialog*>(QApplication::activeModalWidget());
            QVERIFY(picker);
            startedAt = picker->Chosen();
            picker->reject();
        });
        open->trigger();
        QCOMPARE(startedAt, Root() + "data\\");
        QVERIFY(ui.questions.isEmpty());

        SetBrowseFolderChoice([this](const std::string&) {
            ++browsed;
            return chosen;
        });
        w->OpenPath("C:\\", true);
        chosen = D().Path() + "data/sub";
        ui.answer = ID_NO;
        open->trigger();
        QCOMPARE(browsed, 1);
        QCOMPARE(w->statusPanels[0]->text(), QString(QChar(drive->Letter())));
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "data\\sub\\"));
        QCOMPARE(ui.questions,
                 QStringList{QString::fromStdString(Root() + "data\\sub\\を計測しますか？")});
    }

    // The network commands change the drive map under the window; every
    // command after them must still act on the drive on screen.
    void networkCommandsLeaveTheDriveOnScreenCurrent() {
        auto w = test::OpenMainWindow(*drive);
        const int shown = drive->Letter() - 'A';
        auto acted = [&] { return Global().CurrentDrive ? Global().CurrentDrive->Index : -1; };
        auto onScreen = [&] { return w->statusPanels[0]->text(); };
        auto disconnect = [&](int letter) {
            QTimer::singleShot(0, w->NetworkDisconnect, [&w, letter] {
                QComboBox* combo = w->NetworkDisconnect->driveCombo;
                combo->setCurrentIndex(combo->findData(letter));
                w->NetworkDisconnect->okButton->click();
            });
            w->fileNetworkDisconnectAction->trigger();
        };

        // The share's folder is chosen with the browse button beside its path.
        test::TempDir share;
        share.Write("doc.txt", "shared");
        QTimer::singleShot(0, w->NetworkConnect, [&w, &share] {
            auto* browse = w->NetworkConnect->findChild<QPushButton*>("browseButton");
            if (!browse || !browse->isVisible()) {
                w->NetworkConnect->reject(); // and nothing is connected
                return;
            }
            QTimer::singleShot(0, browse, [&share] {
                auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(files);
                const QString folder = QDir(QString::fromStdString(share.Path())).absolutePath();
                files->setDirectory(QFileInfo(folder).absolutePath());
                files->selectFile(folder);
                static_cast<QDialog*>(files)->accept();
                if (files->isVisible()) files->reject();
            });
            browse->click();
            w->NetworkConnect->okButton->click();
        });
        w->fileNetworkConnectAction->trigger();
        int shareLetter = -1;
        for (int n = 3; n < 26; ++n)
            if (platform::DriveRoots()[static_cast<size_t>(n)] + "/" == share.Path())
                shareLetter = n;
        QVERIFY(shareLetter >= 0);
        QCOMPARE(acted(), shown);
        QCOMPARE(onScreen(), QString(QChar(drive->Letter())));

        // A folder measured now goes into the shown drive's cache.
        w->OpenPath(Root() + "data\\", false);
        w->measureFolderAction->trigger();
        QVERIFY(Global().Folders.IndexOfPath(Root() + "data\\") >= 0);
        const std::string ownCache = CacheFileName(*Global().Drives.ByLetter(shown));
        QVERIFY(QFile::exists(QString::fromStdString(ownCache)));
        QVERIFY(
            !QFile::exists(QString::fromStdString(CacheFileName(*Global().Drives.ByLetter(2)))));

        // Another drive disconnected: the shown one stays current.
        disconnect(shareLetter);
        QVERIFY(platform::DriveRoots()[static_cast<size_t>(shareLetter)].empty());
        QCOMPARE(acted(), shown);
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "data\\"));

        // The shown drive disconnected: its folder is shown from its last
        // measurement, and that is what the commands act on.
        disconnect(shown);
        QCOMPARE(acted(), shown);
        QVERIFY(Global().CurrentDrive->Offline);
        QCOMPARE(w->statusPanels[1]->text(), QStringLiteral("オフライン"));
        QCOMPARE(Captions(*w).first(), QString::fromStdString(Root() + "data\\"));
    }
};

QTEST_MAIN(MainCommandsTest)
#include "MainCommandsTest.moc"
