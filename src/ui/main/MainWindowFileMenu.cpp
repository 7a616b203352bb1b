// The main window's file menu: a folder opened on its drive, network drives,
// scans of other machines (an ncdu or gdu export taken in as a drive letter
// of its own, and the folder shown written out in that format) and quitting.
#include "ui/main/MainWindow.h"

#include "core/measure/Measure.h"
#include "core/exchange/Ncdu.h"
#include "core/offline/Snapshot.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/InputDocument.h"
#include "platform/Paths.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/NetworkDriveDialogs.h"
#include "ui/WindowLayout.h"
#include "ui/main/RowModel.h"

#include <QApplication>
#include <QFileDialog>
#include <QToolButton>

namespace nrvs {

namespace {

std::string ChooseWithDialog(QWidget* parent, bool save) {
    QFileDialog d(parent, save ? QStringLiteral("ncdu 形式で書き出し")
                               : QStringLiteral("スキャンの取り込み"));
    d.setOption(QFileDialog::DontUseNativeDialog, true);
    KeepOnlyCloseBox(&d);
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d.setNameFilters({QStringLiteral("ncdu / gdu JSON (*.json *.json.gz *.gz)"),
                      QStringLiteral("すべてのファイル (*)")});
    if (save) d.setDefaultSuffix(QStringLiteral("json"));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().first().toStdString();
}

// The letter an import gets: the last one that is neither a drive of this
// machine nor holds a measurement of its own, so that nothing kept is
// overwritten.
char FreeImportLetter() {
    platform::DetectDriveMap();
    for (char c = 'Z'; c > 'C'; --c)
        if (platform::DriveRoots()[static_cast<size_t>(c - 'A')].empty() && !HasSnapshot(c))
            return c;
    return 0;
}

} // namespace

std::string MainWindow::ChooseScanFile(bool save) {
    return ScanFileChooser ? ScanFileChooser(save) : ChooseWithDialog(this, save);
}

void MainWindow::onFileImportScan() {
    const std::string file = ChooseScanFile(false);
    if (file.empty()) return;
    const char letter = FreeImportLetter();
    if (!letter) {
        ShowMessageBox("取り込み先にできる空きドライブ文字がありません。", MB_ICONSTOP);
        return;
    }
    platform::InputStream input;
    std::string why;
    NcduImportReport report;
    NcduImportOptions options;
    options.Source = file;
    if (!input.Open(file, &why)) {
        ShowMessageBox(file + " を読み込めませんでした。\n" + why, MB_ICONSTOP);
        return;
    }
    const NcduSource source = [&](char* buffer, size_t capacity, size_t& got, std::string& why) {
        return input.Read(buffer, capacity, got, &why);
    };
    if (!ImportNcdu(source, letter, options, report)) {
        ShowMessageBox(file + " を取り込めませんでした。" +
                           (report.CacheWritten
                                ? FormatText("%c: にはフォルダだけを書き込みました。もう一度取り"
                                             "込んでください。",
                                             letter)
                                : std::string("何も書き込んでいません。")) +
                           "\n" + report.Error,
                       MB_ICONSTOP);
        return;
    }
    RefreshDrives(letter - 'A');
    OpenPath(std::string(1, letter) + ":\\", true);
    std::string text =
        FormatText("%s を %c: として取り込みました。\nフォルダ %llu 個、ファイル %llu 個。",
                   file.c_str(), letter, static_cast<unsigned long long>(report.Folders),
                   static_cast<unsigned long long>(report.Files));
    MeasureReport unread;
    unread.Unreadable = report.Unreadable;
    const std::string more = UnreadableMessage(unread);
    if (!more.empty()) text += "\n\n" + more;
    ShowMessageBox(text, MB_ICONINFORMATION);
}

void MainWindow::onFileExportNcdu() {
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Ready || model_->rowCount() == 0) return;
    const std::string path = model_->RowAt(0).Caption;
    std::string file = ChooseScanFile(true);
    if (file.empty()) return;
    // A relative name would land wherever the process happens to be.
    if (file.front() != '/') file = platform::HomeFolder() + "/" + file;
    std::string why;
    if (!ExportNcdu(path, file, why)) {
        ShowMessageBox(path + " を書き出せませんでした。\n" + why, MB_ICONSTOP);
        return;
    }
    ShowMessageBox(path + " を ncdu 形式で書き出しました。\n" + file, MB_ICONINFORMATION);
}

void MainWindow::onFileQuit() {
    close();
}

// Any folder of a drive that is here, chosen in the folder browser opened at
// the folder shown, is opened on its drive as a folder given at start is.
void MainWindow::onFileOpenFolder() {
    const std::string shown = model_->rowCount() > 0 ? model_->RowAt(0).Caption : std::string();
    const std::string chosen = BrowseFolder("フォルダを開く", this, shown);
    if (chosen.size() < 3) return;
    OpenAndMeasure(chosen, false);
}

void MainWindow::onFileNetworkConnect() {
    if (NetworkConnect->Run() != 0) return;
    QApplication::processEvents();
    RefreshDrivesKeepingShown();
}

void MainWindow::onFileNetworkDisconnect() {
    if (NetworkDisconnect->Run() != 0) return;
    QApplication::processEvents();
    RefreshDrivesKeepingShown();
}

// The drive map changed under the window: the drives are listed again and
// the one on screen stays the one every command acts on. One that is no
// longer listed gives way to the start drive; one that came or went while
// shown (live now, or only its last measurement) is opened again as it is,
// at the folder shown.
void MainWindow::RefreshDrivesKeepingShown() {
    const DriveRecord* cur = Global().CurrentDrive;
    const int shown = cur ? cur->Index : -1;
    const int wasOffline = cur ? cur->Offline : 0;
    const std::string folder = model_->rowCount() > 0 ? model_->RowAt(0).Caption : std::string();
    RefreshDrives(shown >= 0 ? shown : INT_MAX);
    if (shown < 0) return;
    if (!DriveButtons[static_cast<size_t>(shown)]->isVisible()) {
        onRefreshTimer(false);
        return;
    }
    if (Global().CurrentDrive->Offline != wasOffline)
        OpenPath(folder.empty() ? Global().CurrentDrive->RootPath : folder, true);
}

} // namespace nrvs
