// The export dialog driven as a user would: its first start, the recent
// names, the checks before writing, the order in which the two halves are
// recorded and written, and the documents of the window's drive and list.
#include "core/exchange/Export.h"
#include "core/GlobalState.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedUi.h"
#include "lib/Messages.h"
#include "support/TempDrive.h"
#include "ui/export/ExportDialog.h"
#include "ui/main/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <fstream>
#include <sstream>

using namespace nrvs;

namespace {
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

StringList Lines(const std::string& path) {
    StringList lines;
    LoadLines(lines, path);
    return lines;
}
} // namespace

class ExportDialogTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<test::TempDrive> drive;
    test::ScriptedUi ui;
    std::unique_ptr<MainWindow> w;

    std::string Exe(const std::string& name) const { return drive->ExeDir() / name; }
    std::string Out(const std::string& name) const { return drive->ExeDir() / ("out/" + name); }
    ExportDialog& D() { return *w->Export; }
    // Shows the dialog the way the command does, without its modal loop.
    void Show() {
        D().show();
        QCoreApplication::processEvents();
    }
    void Ok() { QTest::mouseClick(D().okButton, Qt::LeftButton); }

  private slots:
    void init() {
        drive = std::make_unique<test::TempDrive>();
        drive->Dir().Write("a&b/x.txt", std::string(3000, 'x'));
        drive->Dir().Write("a&b/<script>/y.txt", "y");
        drive->Dir().Write("it's/z.txt", "zz");
        drive->ExeDir().MakeDir("out");
        SetMessageUi(&ui);
        ui.messages.clear();
        ui.styles.clear();
        w = test::OpenMainWindow(*drive);
    }
    void cleanup() {
        w.reset();
        drive.reset();
        SetMessageUi(nullptr);
    }

    void firstStartAndLoadedChoices() {
        Show();
        for (QCheckBox* box : {D().treeCheck, D().listCheck})
            QVERIFY(!box->isChecked());
        for (QCheckBox* box :
             {D().treeSizeCheck, D().treeFilesCheck, D().treeFoldersCheck, D().treeLinkCheck,
              D().listSizeCheck, D().listFilesCheck, D().listFoldersCheck, D().listLinkCheck})
            QVERIFY2(box->isChecked() && !box->isEnabled(), qPrintable(box->objectName()));
        QVERIFY(D().treeHtmlRadio->isChecked() && D().listHtmlRadio->isChecked());
        QVERIFY(!D().okButton->isEnabled());
        QVERIFY(D().treeFileCombo->currentText().isEmpty() && D().treeFileCombo->count() == 0);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(D().cancelButton));
        QCOMPARE(D().height(), 239);
        // Wider where the font needs it for the captions.
        QVERIFY(D().width() >= 411);
        D().reject();

        // Two lines: no name; a third line is the text and the only item.
        // "00" leaves neither format chosen, "11" ends with CSV.
        drive->ExeDir().Write("norvessa.ept", "11010\r\n00\r\n");
        drive->ExeDir().Write("norvessa.epl", "10001\r\n11\r\n/tmp/list.csv\r\n");
        Show();
        QVERIFY(D().treeCheck->isChecked() && D().treeSizeCheck->isChecked() &&
                !D().treeFilesCheck->isChecked());
        QVERIFY(!D().treeHtmlRadio->isChecked() && !D().treeCsvRadio->isChecked());
        QVERIFY2(!D().treeLinkCheck->isEnabled(), "links are for HTML only");
        QCOMPARE(D().treeFileCombo->count(), 0);
        QVERIFY(D().listCsvRadio->isChecked() && !D().listHtmlRadio->isChecked());
        QCOMPARE(D().listFileCombo->currentText(), QString("/tmp/list.csv"));
        QCOMPARE(D().listFileCombo->count(), 1);
        QVERIFY2(D().listLinkCheck->isChecked() && !D().listLinkCheck->isEnabled(),
                 "the mark stays while disabled");
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(D().okButton));

        // Changes not confirmed with OK are forgotten at the next showing.
        D().treeCheck->setChecked(false);
        D().listFileCombo->setEditText("/tmp/other.csv");
        D().reject();
        Show();
        QVERIFY(D().treeCheck->isChecked());
        QCOMPARE(D().listFileCombo->currentText(), QString("/tmp/list.csv"));
        D().reject();
    }

    void blankNamesAreRefusedBeforeAnythingIsSaved() {
        Show();
        D().treeCheck->setChecked(true);
        D().treeFileCombo->setEditText(" \t ");
        Ok();
        QCOMPARE(ui.messages, QStringList{"ファイルを指定してください。"});
        QCOMPARE(ui.styles.first(), int(MB_ICONSTOP));
        QVERIFY(D().isVisible());
        QVERIFY(!drive->ExeDir().Exists("norvessa.ept") && !drive->ExeDir().Exists("norvessa.epl"));
        D().reject();
    }

    void bothHalvesWrittenFromTheWindow() {
        w->onMeasureDrive(); // the question is answered yes
        ui.messages.clear();
        w->OpenPath(drive->Root() + "a&b\\", false);
        Show();
        D().treeCheck->setChecked(true);
        D().treeFileCombo->setEditText(QString::fromStdString(Out("tree.html")));
        D().listCheck->setChecked(true);
        D().listCsvRadio->setChecked(true);
        D().listFileCombo->setEditText(QString::fromStdString(Out("list.csv")));
        Ok();
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].startsWith("エクスポートが完了しました。\n"),
                 qPrintable(ui.messages[0]));
        QVERIFY2(ui.messages[0].contains(QString::fromStdString(Out("tree.html"))) &&
                     ui.messages[0].contains(QString::fromStdString(Out("list.csv"))),
                 "the message names where the documents went");
        QCOMPARE(ui.styles.first(), int(MB_ICONINFORMATION));
        QVERIFY(!D().isVisible());

        const std::string tree = ReadFile(Out("tree.html"));
        QVERIFY(tree.find("&lt;script&gt;</a>") != std::string::npos);
        QVERIFY(tree.find("<title>Norvessa</title>\r\n") != std::string::npos);
        QCOMPARE(std::count(tree.begin(), tree.end(), '\n'),
                 12 + 4 + 3); // root, a&b, <script>, it's
        StringList list = Lines(Out("list.csv"));
        QCOMPARE(list[3].substr(0, list[3].find(',')), "\"" + drive->Root() + "a&b\\\"");
        QVERIFY(std::find_if(list.begin(), list.end(), [](const std::string& l) {
                    return l.rfind("\"<script>\",", 0) == 0;
                }) != list.end());
        QCOMPARE(list.size(), 3 + w->Rows().size());

        QVERIFY2(list[0].rfind("\xEF\xBB\xBF", 0) == 0, "a CSV for spreadsheets by default");
        QCOMPARE(Lines(Exe("norvessa.ept")), (StringList{"11111", "101", Out("tree.html")}));
        QCOMPARE(Lines(Exe("norvessa.epl")), (StringList{"11111", "011", Out("list.csv")}));
    }

    void theSpreadsheetChoiceIsForCsvOnlyAndRemembered() {
        w->onMeasureDrive();
        Show();
        QCOMPARE(D().treeSpreadsheetCheck->text(), QString("表計算ソフト向け"));
        QVERIFY2(D().treeSpreadsheetCheck->isChecked(), "on from the start");
        D().treeCheck->setChecked(true);
        QVERIFY2(!D().treeSpreadsheetCheck->isEnabled(),
                 "HTML is chosen: nothing to do with spreadsheets");
        D().treeCsvRadio->setChecked(true);
        QVERIFY(D().treeSpreadsheetCheck->isEnabled());
        D().treeSpreadsheetCheck->setChecked(false);
        D().treeFileCombo->setEditText(QString::fromStdString(Out("plain.csv")));
        Ok();
        QVERIFY(ui.messages.last().startsWith("エクスポートが完了しました。\n"));
        QVERIFY2(ReadFile(Out("plain.csv")).rfind("\xEF\xBB\xBF", 0) != 0,
                 "off: the data exactly as it is");
        QCOMPARE(Lines(Exe("norvessa.ept"))[1], std::string("010"));
        Show();
        QVERIFY2(!D().treeSpreadsheetCheck->isChecked(), "the choice is remembered");
        D().reject();
    }

    void theTreeInNcdusFormat() {
        w->onMeasureDrive();
        ui.messages.clear();
        Show();
        D().treeCheck->setChecked(true);
        D().treeNcduRadio->setChecked(true);
        QVERIFY2(!D().treeSizeCheck->isEnabled() && !D().treeLinkCheck->isEnabled() &&
                     !D().treeSpreadsheetCheck->isEnabled(),
                 "ncdu's format has no columns to choose");
        D().treeFileCombo->setEditText(QString::fromStdString(Out("scan.json")));
        Ok();
        QVERIFY2(ui.messages.last().startsWith("エクスポートが完了しました。\n"),
                 qPrintable(ui.messages.last()));
        const std::string json = ReadFile(Out("scan.json"));
        QVERIFY(json.rfind("[1,2,", 0) == 0);
        QVERIFY(json.find("\"name\":\"a&b\"") != std::string::npos);
        QCOMPARE(Lines(Exe("norvessa.ept"))[1], std::string("0011"));
        Show();
        QVERIFY2(D().treeNcduRadio->isChecked() && !D().treeHtmlRadio->isChecked(),
                 "the choice is remembered");
        D().treeHtmlRadio->setChecked(true);
        QVERIFY(D().treeSizeCheck->isEnabled());
        D().reject();
    }

    void recentNamesOfUncheckedHalvesAndCaseOnlyDifferences() {
        StringList names{"11111", "10"};
        for (int i = 1; i <= 10; ++i)
            names.push_back("/tmp/n" + std::to_string(i) + ".html");
        SaveLines(names, Exe("norvessa.epl"));
        Show();
        QCOMPARE(D().listFileCombo->count(), 10);
        D().listCheck->setChecked(false);
        D().treeCheck->setChecked(true);
        D().treeFileCombo->setEditText(QString::fromStdString(Out("t.csv")));
        D().treeCsvRadio->setChecked(true);
        D().listFileCombo->setEditText("/tmp/N5.HTML");
        Ok();
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.messages[0].startsWith("エクスポートが完了しました。\n"),
                 qPrintable(ui.messages[0]));
        StringList list = Lines(Exe("norvessa.epl"));
        QCOMPARE(list.size(), size_t(12));
        QCOMPARE(list[0], std::string("01111"));        // unchecked, still recorded
        QCOMPARE(list[2], std::string("/tmp/N5.HTML")); // as typed this time
        QCOMPARE(std::count(list.begin(), list.end(), "/tmp/n5.html"), 0);

        Show();
        D().treeCheck->setChecked(false);
        D().listCheck->setChecked(true);
        D().listHtmlRadio->setChecked(true);
        D().listFileCombo->setEditText(QString::fromStdString(Out("eleventh.html")));
        Ok();
        list = Lines(Exe("norvessa.epl"));
        QCOMPARE(list.size(), size_t(12)); // 2 + 10 lines
        QCOMPARE(list[2], Out("eleventh.html"));
        QCOMPARE(list.back(), std::string("/tmp/n9.html")); // the oldest, n10, went
        QCOMPARE(D().listFileCombo->count(), 10);
    }

    void aTreeFileThatCannotBeCreatedLeavesTheListAlone() {
        drive->ExeDir().Write("out/list.html", "old list");
        Show();
        D().treeCheck->setChecked(true);
        D().treeFileCombo->setEditText(QString::fromStdString(Exe("missing/tree.html")));
        D().listCheck->setChecked(true);
        D().listFileCombo->setEditText(QString::fromStdString(Out("list.html")));
        Ok();
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].startsWith("ツリー情報をエクスポートできません。"));
        QCOMPARE(ui.styles.first(), int(MB_ICONSTOP));
        QVERIFY(D().isVisible());
        QCOMPARE(Lines(Exe("norvessa.ept"))[2],
                 Exe("missing/tree.html")); // the tree's name was recorded first
        QVERIFY(!drive->ExeDir().Exists("norvessa.epl"));
        QCOMPARE(drive->ExeDir().Read("out/list.html"), std::string("old list"));

        // Then the list cannot be written: both recorded, the tree written.
        ui.messages.clear();
        D().treeFileCombo->setEditText(QString::fromStdString(Out("tree.csv")));
        D().treeCsvRadio->setChecked(true);
        D().listFileCombo->setEditText(QString::fromStdString(drive->ExeDir().Path()));
        Ok();
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.messages[0].startsWith("リスト情報をエクスポートできません。"));
        QVERIFY(drive->ExeDir().Exists("out/tree.csv"));
        QCOMPARE(Lines(Exe("norvessa.epl"))[2], drive->ExeDir().Path());
        D().reject();
    }

    void theSameFileForBothHoldsTheList() {
        Show();
        D().treeCheck->setChecked(true);
        D().listCheck->setChecked(true);
        const QString same = QString::fromStdString(Out("both.html"));
        D().treeFileCombo->setEditText(same);
        D().listFileCombo->setEditText(same);
        Ok();
        const std::string text = ReadFile(Out("both.html"));
        QVERIFY(text.find("フォルダ／ファイル") != std::string::npos);
        QVERIFY(text.find("<td width=2%>") == std::string::npos);
    }

    void theSaveDialogFollowsTheChosenFormat() {
        Show();
        D().treeCheck->setChecked(true);
        D().treeCsvRadio->setChecked(true);
        D().treeFileCombo->setEditText(QString::fromStdString(Out("old.csv")));
        QString suffix, filter, dir;
        QStringList shownFilters;
        D().RunSaveDialog = [&](QFileDialog* d) {
            suffix = d->defaultSuffix();
            filter = d->selectedNameFilter();
            for (auto* box : d->findChildren<QComboBox*>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < box->count(); ++i)
                    shownFilters << box->itemText(i);
            dir = d->directory().absolutePath();
            d->selectFile(QString::fromStdString(Out("picked.html")));
            return int(QDialog::Accepted);
        };
        QTest::mouseClick(D().treeBrowseButton, Qt::LeftButton);
        QCOMPARE(suffix, QString("csv"));
        QVERIFY(filter.startsWith("CSV"));
        QCOMPARE(shownFilters, (QStringList{"HTML(*.html;*.htm)", "CSV(*.csv)"}));
        QCOMPARE(dir + "/", QString::fromStdString(Out("")));
        QCOMPARE(D().treeFileCombo->currentText(), QString::fromStdString(Out("picked.html")));
        QVERIFY2(D().treeCsvRadio->isChecked(), "the choice of file leaves the format alone");
        Ok();
        QVERIFY2(ReadFile(Out("picked.html")).find("\"フォルダ\"\r\n") != std::string::npos,
                 "CSV in a .html file");

        D().RunSaveDialog = [](QFileDialog*) { return int(QDialog::Rejected); };
        Show();
        QTest::mouseClick(D().treeBrowseButton, Qt::LeftButton);
        QCOMPARE(D().treeFileCombo->currentText(), QString::fromStdString(Out("picked.html")));
        D().reject();
    }

    void theCommandOpensTheDialogOnlyForAReadyDrive() {
        QVERIFY(w->toolsExportAction->isEnabled());
        QVERIFY(w->toolsExportToolbarAction->isEnabled());
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            opened = D().isVisible();
            D().reject();
        });
        w->toolsExportAction->trigger();
        QVERIFY(opened);
        Global().CurrentDrive->Ready = false;
        opened = false;
        QTimer::singleShot(0, this, [&] {
            opened = D().isVisible();
            D().reject();
        });
        w->toolsExportToolbarAction->trigger();
        QVERIFY(!opened);
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(ExportDialogTest)
#include "ExportDialogTest.moc"
