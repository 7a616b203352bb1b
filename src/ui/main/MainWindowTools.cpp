// The main window's file operations and the commands that hand a path to the
// desktop's tools: copy, move, delete, properties, explorer, application,
// cleanup, defragmenter, format, network drives, help.
#include "ui/main/MainWindow.h"

#include "ui/main/MainWindowParts.h"

#include "core/GoneFiles.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/ItemOperations.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "platform/FileOperations.h"
#include "ui/main/RowModel.h"
#include "ui/DesktopOpen.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/NetworkDriveDialogs.h"
#include "ui/main/PropertiesDialog.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/sim/SimulationWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <sys/stat.h>

namespace nrvs {

using namespace mainwindow;

namespace {
bool Ready() {
    const DriveRecord* cur = Global().CurrentDrive;
    return cur && cur->Ready;
}

// Folders keep their backslash; a file's path has none.
bool IsFolderPath(const std::string& path) { return !path.empty() && path.back() == '\\'; }

std::string ParentFolder(std::string path) {
    if (IsFolderPath(path)) path.pop_back();
    return path.substr(0, path.rfind('\\') + 1);
}

constexpr size_t kErrorLinesShown = 15;

// A command that would reach a drive's root says why it does nothing: with
// nothing selected the command's target falls back to the folder shown.
std::string RootRefusal(const char* verb) {
    return std::string("ドライブのルートは") + verb + "できません。\n" + verb +
           "するフォルダまたはファイルを一覧かツリーで選択してください。";
}
} // namespace

void MainWindow::ReportOperation(bool ok, const std::vector<std::string>& errors, const char* verb) {
    const bool cancelled = Progress->Cancelled();
    if (!errors.empty()) {
        std::string text = std::string(verb) + "できなかった項目があります。\n\n";
        for (size_t i = 0; i < errors.size() && i < kErrorLinesShown; ++i)
            text += platform::ShownName(errors[i]) + "\n";
        if (errors.size() > kErrorLinesShown) text += FormatText("ほか %zu 件\n", errors.size() - kErrorLinesShown);
        if (cancelled) text += "\n中止しました。";
        ShowMessageBox(text, MB_ICONSTOP);
    } else if (cancelled) {
        ShowMessageBox(std::string(verb) + FormatText("を中止しました。処理済みの %llu 個の項目はそのまま残っています。",
                                                      static_cast<unsigned long long>(Progress->ItemsDone())),
                       MB_ICONINFORMATION);
    } else if (!ok) {
        ShowMessageBox(std::string(verb) + "できませんでした。", MB_ICONSTOP);
    }
}

void MainWindow::onToolsCopyOrMove(int tag) {
    if (!Ready()) return;
    GlobalState& g = Global();
    const char* verb = tag == 1 ? "コピー" : "移動";
    const std::string source = SelectedPath();
    if (source.size() <= 3) {
        ShowMessageBox(RootRefusal(verb), MB_ICONINFORMATION);
        return;
    }
    const std::string dest = BrowseFolder(std::string(verb) + "先を選択してください。", this, ParentFolder(source));
    if (dest == "\\") return;
    const std::string below = IsFolderPath(source) ? source : source + "\\";
    if (dest.compare(0, below.size(), below) == 0) {
        ShowMessageBox("下位のフォルダは選択できません。", MB_ICONSTOP);
        return;
    }
    if (AskYesNo(std::string(verb) + "元：" + source + "　\n" + verb + "先：" + dest + "　\n\n実行しますか？",
                 MB_ICONQUESTION) != ID_YES)
        return;
    Progress->Start(QString::fromUtf8(tag == 1 ? " コピー中..." : " 移動中..."));
    const platform::FileOperationResult result =
        tag == 1 ? CopyItem(source, dest, Progress) : MoveItem(source, dest, Progress);
    const bool ok = result.ok;
    if (ok && tag != 1) ForgetInFileIndex(source);
    Progress->Finish();
    ReportOperation(ok, OperationErrorLines(result), verb);
    if (g.RemeasureAfterAction) onMeasureDrive();
    else if (ok && !tag) RefreshFromDisk();
}

void MainWindow::onToolsDelete() {
    if (!Ready()) return;
    GlobalState& g = Global();
    const bool treeHadFocus = QApplication::focusWidget() == folderTree;
    const std::string path = SelectedPath();
    if (path.size() <= 3) {
        ShowMessageBox(RootRefusal("削除"), MB_ICONINFORMATION);
        return;
    }
    std::string text = "削除：" + path + "　\n";
    if (!g.UseRecycleBin) text += "\nごみ箱を使用しない設定のため通常の方法では復元できません。 \n";
    // Where it goes, and how much it is, as far as the measurement knows.
    const int row = treeHadFocus ? -1 : SelectedRow();
    const bool folder = path.back() == '\\' || row < 0 || model_->RowAt(row).Image != IMG_FILE;
    if (folder) {
        const FolderRecord* r = g.Folders.FindPath(path.back() == '\\' ? path : path + "\\");
        text += "\n" + (r ? DeleteWhereText(g.UseRecycleBin != 0, int64_t{r->TreeFolders} + 1, r->TreeFiles, r->TreeBytes)
                          : DeleteWhereText(g.UseRecycleBin != 0, 1, -1, -1)) + "\n";
    } else {
        text += "\n" + DeleteWhereText(g.UseRecycleBin != 0, -1, 1, TextToFloat(model_->RowAt(row).Size, -1)) + "\n";
    }
    text += "\n実行しますか？";
    if (AskYesNo(text, MB_ICONQUESTION | MB_DEFBUTTON2) != ID_YES) return;
    Progress->Start(QStringLiteral(" 削除中..."));
    const platform::FileOperationResult result = DeleteItem(path, g.UseRecycleBin != 0, Progress);
    if (result.ok) ForgetInFileIndex(path);
    Progress->Finish();
    ReportOperation(result.ok, OperationErrorLines(result), "削除");
    RefreshNodeAfterDelete(treeHadFocus);
    if (g.RemeasureAfterAction) onMeasureDrive();
}

void MainWindow::RefreshNodeAfterDelete(bool treeHadFocus) {
    QTreeWidgetItem* selected = SelectedNode();
    QTreeWidgetItem* node = treeHadFocus && selected ? selected->parent() : selected;
    if (node) RereadNode(node);
    else if (selected) FillList(selected);
    RefreshControls();
}

void MainWindow::RereadNode(QTreeWidgetItem* node) {
    // Collapsing and expanding again reads the level from the disk; the
    // root rebuilds the whole tree.
    if (node->parent()) {
        FillTreeLevel(node);
    } else {
        FillTreeLevel(nullptr);
        node = folderTree->topLevelItem(0);
    }
    if (!node) return;
    folderTree->setCurrentItem(node);
    lastTreeNode_ = node;
    FillList(node);
}

void MainWindow::RefreshFromDisk() {
    if (!Ready()) return;
    if (QTreeWidgetItem* node = SelectedNode()) RereadNode(node);
    else RefillShown();
    RefreshControls();
}

void MainWindow::onViewProperties() {
    if (!Ready()) return;
    const std::string path = SelectedPath();
    if (!Properties->Load(path)) {
        ShowMessageBox(path + "\nが見つかりません。", MB_ICONSTOP);
        return;
    }
    Properties->exec();
}

void MainWindow::onToolsFileManager() {
    if (!Ready()) return;
    std::string path = SelectedPath();
    // The file manager opens the folder; for a file, the folder holding it.
    PathAttributes attributes;
    if (!IsFolderPath(path) && ReadAttributes(path, attributes) && !attributes.IsDir) path = ParentFolder(path);
    OpenProgramPath(path);
}

void MainWindow::onToolsOpenWith() {
    if (!Ready()) return;
    OpenProgramPath(SelectedPath());
}

void MainWindow::onToolsCleanup() {
    if (StartTool(QStringLiteral("bleachbit"), {})) return;
    ShowMessageBox("クリーンアップのツールが見つかりません。\nBleachBit (Debian のパッケージ bleachbit) をインストールすると使えます。",
                   MB_ICONINFORMATION);
}

void MainWindow::onToolsDefragment() {
    const DriveRecord* cur = Global().CurrentDrive;
    const std::string fs = cur ? cur->FileSystem : std::string();
    const std::string mp = cur ? platform::DriveMountPoint(cur->RootPath) : std::string();
    std::string text;
    if (fs == "ext4")
        text = "ext4 のデフラグはコマンドラインのツール e4defrag で行います。\n端末で次を実行してください：\n\n"
               "sudo e4defrag " + mp;
    else if (fs == "btrfs")
        text = "btrfs のデフラグは端末で次を実行してください：\n\nsudo btrfs filesystem defragment -r " + mp;
    else if (fs == "xfs")
        text = "xfs のデフラグは端末で次を実行してください：\n\nsudo xfs_fsr " + mp;
    else
        text = "このドライブのファイルシステム (" + (fs.empty() ? std::string("不明") : fs) +
               ") にはデフラグのツールがありません。";
    ShowMessageBox(text, MB_ICONINFORMATION);
}

void MainWindow::onToolsFormat() {
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Removable) return;
    const std::string device = platform::DriveDevice(cur->RootPath);
    if (device.empty()) {
        ShowMessageBox("このドライブはフォーマットできるデバイスではありません。", MB_ICONINFORMATION);
        return;
    }
    if (StartTool(QStringLiteral("gnome-disks"),
                  {QStringLiteral("--block-device"), QString::fromStdString(device), QStringLiteral("--format-device")}))
        return;
    ShowMessageBox("フォーマットのツールが見つかりません。\nGNOME ディスク (Debian のパッケージ gnome-disk-utility) をインストールすると使えます。",
                   MB_ICONINFORMATION);
}

void MainWindow::onFileNetworkConnect() {
    if (NetworkConnect->Run() != 0) return;
    QApplication::processEvents();
    RefreshDrives(INT_MAX);
}

void MainWindow::onFileNetworkDisconnect() {
    const DriveRecord* cur = Global().CurrentDrive;
    const int remembered = cur ? cur->Index : -1;
    if (NetworkDisconnect->Run() != 0) return;
    QApplication::processEvents();
    RefreshDrives(INT_MAX);
    if (remembered >= 0 && !DriveButtons[static_cast<size_t>(remembered)]->isVisible()) onRefreshTimer(false);
}

void MainWindow::onMeasureSimulation() {
    if (!Ready()) return;
    if (!DisplayComplete) {
        ShowMessageBox("表示を省略しているときは使用できません。", MB_ICONINFORMATION);
        return;
    }
    Simulation->Prepare();
    Simulation->exec();
}

void MainWindow::onToolsSettings() {
    if (Settings->exec() != QDialog::Accepted) return;
    // The list is filled again with the new unit, columns and base.
    RefreshControls();
    FitColumns();
    lastTreeNode_ = nullptr;
    onTreeClick();
}

std::string MainWindow::HelpFileName() { return platform::HelpDocumentPath(); }

void MainWindow::onHelpContents() {
    const std::string help = HelpFileName();
    struct stat st{};
    if (::stat(help.c_str(), &st) != 0) {
        ShowMessageBox("ヘルプファイルが見つかりません：\n" + help, MB_ICONSTOP);
        return;
    }
    if (OpenWithDesktop(help) != OpenResult::Opened)
        ShowMessageBox("ヘルプを開くブラウザが登録されていません。\n\n" + help, MB_ICONINFORMATION);
}

// The program's page is the help document that comes with it: a page of the
// build tree would exist on the machine that built it only.
void MainWindow::onHelpWebsite() { onHelpContents(); }

} // namespace nrvs
