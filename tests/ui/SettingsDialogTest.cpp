// The settings dialog and the drives-to-measure dialog driven offscreen:
// defaults, enabling, cancel, the Send To entry, the proposals, and the
// drive measurement of exactly the drives ticked.
#include "core/cache/Cache.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/Drives.h"
#include "platform/OpenWithEntry.h"
#include "support/MainWindowFixture.h"
#include "support/ResetGlobalState.h"
#include "support/ScriptedUi.h"
#include "ui/main/MainWindow.h"
#include "ui/settings/MeasureDrivesDialog.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableView>
#include <QtTest>

#include <sys/stat.h>

using namespace nrvs;

namespace {
QStringList Checked(const QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->checkState() == Qt::Checked) out << l->item(i)->text();
    return out;
}
} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        ::setenv("XDG_DATA_HOME", (drive->ExeDir() / "xdg").c_str(), 1);
        ui = test::ScriptedUi{};
        SetMessageUi(&ui);
        test::ResetGlobalState();
        LoadParameters({});
    }
    void cleanup() {
        SetMessageUi(nullptr);
        ::unsetenv("XDG_DATA_HOME");
        drive.reset();
    }

    void defaultsEnablingAndCancel() {
        SettingsDialog d;
        d.LoadControls();
        QVERIFY(d.splashCheck->isChecked());
        QCOMPARE(d.startDriveCombo->currentText(), QString("ハードディスク"));
        QCOMPARE(d.sizeUnitCombo->currentText(), QString("調整"));
        QCOMPARE(d.percentBaseCombo->currentText(), QString("カレントフォルダの容量"));
        for (QCheckBox* c : {d.driveBarCheck, d.toolbarCheck, d.statusBarCheck, d.sizeColumnCheck,
                             d.occupiedColumnCheck, d.filesColumnCheck, d.foldersColumnCheck})
            QVERIFY(c->isChecked());
        QVERIFY(d.cacheByKindRadio->isChecked());
        QCOMPARE(Checked(d.cacheKindList), QStringList{"ハードディスク"});
        QCOMPARE(Checked(d.cacheLetterList), QStringList{"Ｃ："});
        QVERIFY(!d.cacheLetterList->isEnabled() && d.cacheKindList->isEnabled());
        QVERIFY(d.measureUnmeasuredRadio->isChecked());
        QCOMPARE(d.expiryDaysEdit->text(), QString("7"));
        QVERIFY(!d.expiryDaysEdit->isEnabled() && !d.expiryDaysLabel->isEnabled());
        QVERIFY(!d.multipleDrivesCheck->isChecked() && d.askOnSearchCheck->isChecked() &&
                d.hardLinksOnceCheck->isChecked());
        QVERIFY(!d.remeasureAfterCheck->isChecked() && d.trashCheck->isChecked());
        QVERIFY(!d.sendToCheck->isChecked());
        // The disabled edit takes the colour of its group box.
        QCOMPARE(d.expiryDaysEdit->palette().color(QPalette::Base),
                 d.expiryDaysEdit->parentWidget()->palette().color(QPalette::Window));

        d.measureExpiredRadio->click();
        QVERIFY(d.expiryDaysEdit->isEnabled() && d.expiryDaysLabel->isEnabled());
        d.measureEverySelectionRadio->click();
        QVERIFY(!d.expiryDaysEdit->isEnabled());
        d.multipleDrivesCheck->click();
        QVERIFY(!d.askOnSearchCheck->isEnabled());
        QVERIFY(d.askOnSearchCheck->isChecked());

        // Cancel: nothing stored, the next show has the old values.
        d.sizeUnitCombo->setCurrentIndex(3);
        d.cancelButton->click();
        QCOMPARE(Global().SizeUnit, 0);
        QCOMPARE(Global().MeasureMode, std::string("010000"));
        d.LoadControls();
        QVERIFY(d.measureUnmeasuredRadio->isChecked());
        QVERIFY(!d.multipleDrivesCheck->isChecked());

        // OK stores every control, the kept mark of a disabled box too; days
        // that are no number keep the old value.
        d.measureExpiredRadio->click();
        d.expiryDaysEdit->setText("abc");
        d.multipleDrivesCheck->click();
        d.hardLinksOnceCheck->setChecked(false);
        d.onOk();
        QCOMPARE(Global().MeasureMode, std::string("000001"));
        QCOMPARE(Global().ExpiryDays, 7);
        QCOMPARE(Global().MeasureMulti, 1);
        QCOMPARE(Global().AskBeforeMeasure, 1);
        QCOMPARE(Global().CountLinksOnce, 0);
        d.expiryDaysEdit->setText("30");
        d.onOk();
        QCOMPARE(Global().ExpiryDays, 30);
        struct stat st {};
        QVERIFY2(::stat((drive->ExeDir() / "xdg").c_str(), &st) != 0,
                 "no folder is made for an entry nobody asked for");
    }

    void sendToEntryIsMadeRemovedAndLeftAlone() {
        SettingsDialog d;
        const std::string path = d.SendToFile();
        QCOMPARE(path, drive->ExeDir() / "xdg/applications/Norvessa.desktop");
        d.LoadControls();
        d.sendToCheck->setChecked(true);
        d.onOk();
        QVERIFY(platform::SendToExists(path));
        const std::string text = drive->ExeDir().Read("xdg/applications/Norvessa.desktop");
        QVERIFY(text.find("MimeType=inode/directory;") != std::string::npos);
        QVERIFY(text.find(" %f\n") != std::string::npos);
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        if (!validator.isEmpty()) {
            QProcess p;
            p.start(validator, {QString::fromStdString(path)});
            QVERIFY(p.waitForFinished(20000));
            QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
        }
        // Present already: left as it is.
        drive->ExeDir().Write("xdg/applications/Norvessa.desktop", "mine");
        d.LoadControls();
        QVERIFY(d.sendToCheck->isChecked());
        d.onOk();
        QCOMPARE(drive->ExeDir().Read("xdg/applications/Norvessa.desktop"), std::string("mine"));
        d.sendToCheck->setChecked(false);
        d.onOk();
        QVERIFY(!platform::SendToExists(path));
    }

    void anUnwritableFolderDisablesTheBoxWithAReason() {
        drive->ExeDir().Write("xdg", "a file where the folder should be");
        SettingsDialog d;
        QVERIFY(d.SendToFile().empty());
        QVERIFY(!d.sendToCheck->isEnabled());
        QVERIFY(!d.sendToCheck->toolTip().isEmpty());
    }

    void proposalsAndMeasuringExactlyTheDrivesTicked() {
        // Four folder drives of one temporary folder, besides the test drive.
        std::vector<std::unique_ptr<test::TempDir>> folders;
        std::vector<int> letters;
        platform::DetectDriveMap();
        for (int n = 24; n >= 3 && letters.size() < 4; --n) {
            if (!platform::DriveRoots()[static_cast<size_t>(n)].empty()) continue;
            folders.push_back(std::make_unique<test::TempDir>());
            folders.back()->Write("f", std::string(100 * (letters.size() + 1), 'x'));
            QVERIFY(platform::SetDriveMapEntry(n, folders.back()->Path()));
            letters.push_back(n);
        }
        QCOMPARE(letters.size(), size_t(4));
        auto window = test::OpenMainWindow(*drive);
        MainWindow& w = *window;
        GlobalState& g = Global();
        MeasureDrivesDialog& m = *w.MeasureDrivesChoice;

        // Defaults: cached drives are the fixed disks; the list is greyed out.
        m.Prepare();
        QVERIFY(m.cachedDrivesRadio->isChecked());
        QVERIFY(!m.driveList->isEnabled());
        for (int i = 0; i < m.driveList->count(); ++i) {
            const DriveRecord* r = g.Drives.ListedAt(i);
            QCOMPARE(m.driveList->item(i)->checkState() == Qt::Checked, r->DriveType == 3);
        }
        m.chosenDrivesRadio->click();
        QVERIFY(m.driveList->isEnabled());
        m.currentDriveRadio->click();
        QCOMPARE(Checked(m.driveList).size(), 1);
        QVERIFY(Checked(m.driveList)[0].startsWith(QChar(drive->Letter())));

        // Several-drive measurement with two of the four ticked.
        g.MeasureMulti = 1;
        g.AskBeforeMeasure = 0;
        auto listedPos = [&](int letter) {
            for (int i = 0; i < g.Drives.ListedCount(); ++i)
                if (g.Drives.ListedAt(i)->Index == letter) return i;
            return -1;
        };
        auto cacheOf = [&](int letter) {
            return drive->ExeDir() /
                   ("NRVS_" + std::string(1, static_cast<char>('A' + letter)) + ".txt");
        };
        auto answer = [&](std::vector<int> tick) {
            QTimer::singleShot(0, &m, [&m, tick, listedPos] {
                m.chosenDrivesRadio->click();
                for (int i = 0; i < m.driveList->count(); ++i)
                    m.driveList->item(i)->setCheckState(Qt::Unchecked);
                for (int letter : tick)
                    m.driveList->item(listedPos(letter))->setCheckState(Qt::Checked);
                m.okButton->click();
            });
        };
        answer({});
        w.onMeasureDrive();
        for (int letter : letters)
            QVERIFY(!QFile::exists(QString::fromStdString(cacheOf(letter))));

        answer({letters[1], letters[3]});
        w.onMeasureDrive();
        QVERIFY(!QFile::exists(QString::fromStdString(cacheOf(letters[0]))));
        QVERIFY(QFile::exists(QString::fromStdString(cacheOf(letters[1]))));
        QVERIFY(!QFile::exists(QString::fromStdString(cacheOf(letters[2]))));
        QVERIFY(QFile::exists(QString::fromStdString(cacheOf(letters[3]))));
        StringList lines;
        QCOMPARE(LoadLines(lines, cacheOf(letters[3])), 1);
        QVERIFY(lines.back().find(":400:") != std::string::npos);
        QCOMPARE(g.CurrentDrive->Index, drive->Letter() - 'A');
        for (int letter : letters)
            platform::SetDriveMapEntry(letter, "");
    }

    void newUnitAndColumnsReachTheMainList() {
        drive->Dir().Write("a/x", std::string(5000, 'x'));
        auto window = test::OpenMainWindow(*drive);
        MainWindow& w = *window;
        w.onMeasureDrive();
        auto* header = w.folderList->horizontalHeader();
        QVERIFY(header->sectionSize(2) > 0);
        SettingsDialog& d = *w.Settings;
        QTimer::singleShot(0, &d, [&d] {
            d.sizeUnitCombo->setCurrentIndex(1);
            d.occupiedColumnCheck->setChecked(false);
            d.okButton->click();
        });
        w.onToolsSettings();
        QCOMPARE(Global().SizeUnit, 1);
        QCOMPARE(Global().ColumnFlags, std::string("10110")); // the fifth: 増減, off
        QCOMPARE(header->sectionSize(2), 0);
        // Without the occupied column the bars follow the sizes.
        int row = -1;
        for (int i = 0; i < static_cast<int>(w.Rows().size()); ++i)
            if (SplitRow(w.Rows()[static_cast<size_t>(i)]).Caption == "a") row = i;
        QVERIFY(row >= 0);
        const RowFields f = SplitRow(w.Rows()[static_cast<size_t>(row)]);
        QCOMPARE(f.Graph, f.Size);
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
