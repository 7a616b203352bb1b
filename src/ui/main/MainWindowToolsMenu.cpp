// The main window's tools menu: the report windows (export, search, largest
// files, file types), the file operations (copy, move, delete), the commands
// that hand a path to the desktop's tools (file manager, application,
// cleanup, defragmenter, format) and the settings.
#include "ui/main/MainWindow.h"

#include "ui/main/MainWindowParts.h"

#include "core/GoneFiles.h"
#include "core/GlobalState.h"
#include "core/cache/Cache.h"
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
#include "ui/export/ExportDialog.h"
#include "ui/files/FilesWindow.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/types/TypesWindow.h"

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

namespace nrvs {

using namespace mainwindow;

namespace {
// Folders keep their backslash; a file's path has none.
bool IsFolderPath(const std::string& path) {
    return !path.empty() && path.back() == '\\';
}

std::string ParentFolder(std::string path) {
    if (IsFolderPath(path)) path.pop_back();
    return path.substr(0, path.rfind('\\') + 1);
}

// A command that would reach a drive's root says why it does nothing: with
// nothing selected the command's target falls back to the folder shown.
std::string RootRefusal(const char* verb) {
    return std::string("ドライブのルートは") + verb + "できません。\n" + verb +
           "するフォルダまたはファイルを一覧かツリーで選択してください。";
}
} // namespace

void MainWindow::ReportOperation(bool ok, const std::vector<std::string>& errors,
                                 const char* verb) {
    ReportFileOperation(ok, Progress->Cancelled(), Progress->ItemsDone(), errors, verb);
}

void MainWindow::onToolsCopyOrMove(int tag) {
    if (!CurrentDriveReady()) return;
    GlobalState& g = Global();
    const char* verb = tag == 1 ? "コピー" : "移動";
    const std::string source = SelectedPath();
    if (source.size() <= 3) {
        ShowMessageBox(RootRefusal(verb), MB_ICONINFORMATION);
        return;
    }
    const std::string dest =
        BrowseFolder(std::string(verb) + "先を選択してください。", this, ParentFolder(source));
    if (dest == "\\") return;
    const std::string below = IsFolderPath(source) ? source : source + "\\";
    if (dest.compare(0, below.size(), below) == 0) {
        ShowMessageBox("下位のフォルダは選択できません。", MB_ICONSTOP);
        return;
    }
    if (AskYesNo(std::string(verb) + "元：" + source + "　\n" + verb + "先：" + dest +
                     "　\n\n実行しますか？",
                 MB_ICONQUESTION) != ID_YES)
        return;
    Progress->Start(QString::fromUtf8(tag == 1 ? " コピー中..." : " 移動中..."));
    const uint32_t names = tag == 1 ? 1 : NamesOfFile(source);
    const platform::FileOperationResult result =
        tag == 1 ? CopyItem(source, dest, Progress) : MoveItem(source, dest, Progress);
    const bool ok = result.ok;
    if (ok && tag != 1) ForgetRemovedTotals({{source, names}});
    Progress->Finish();
    ReportOperation(ok, OperationErrorLines(result), verb);
    if (g.RemeasureAfterAction)
        onMeasureDrive();
    else if (ok && !tag)
        RefreshFromDisk();
}

void MainWindow::onToolsDelete() {
    if (!CurrentDriveReady()) return;
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
        text += "\n" +
                (r ? DeleteWhereText(g.UseRecycleBin != 0, int64_t{r->TreeFolders} + 1,
                                     r->TreeFiles, r->TreeBytes)
                   : DeleteWhereText(g.UseRecycleBin != 0, 1, -1, -1)) +
                "\n";
    } else {
        text +=
            "\n" +
            DeleteWhereText(g.UseRecycleBin != 0, -1, 1, TextToFloat(model_->RowAt(row).Size, -1)) +
            "\n";
    }
    text += "\n実行しますか？";
    if (AskYesNo(text, MB_ICONQUESTION | MB_DEFBUTTON2) != ID_YES) return;
    Progress->Start(QStringLiteral(" 削除中..."));
    const uint32_t names = NamesOfFile(path);
    const platform::FileOperationResult result = DeleteItem(path, g.UseRecycleBin != 0, Progress);
    if (result.ok) ForgetRemovedTotals({{path, names}});
    Progress->Finish();
    ReportOperation(result.ok, OperationErrorLines(result), "削除");
    RefreshNodeAfterDelete(treeHadFocus);
    if (g.RemeasureAfterAction) onMeasureDrive();
}

void MainWindow::ForgetRemovedTotals(const std::vector<RemovedItem>& removed) {
    GlobalState& g = Global();
    // The cache on disk loses what was removed; the folder list shown, read
    // from it, is read again, so that the list, the tree, the treemap and
    // the status bar show the totals without it once they are refilled.
    if (ForgetRemoved(removed) == 0 || !g.CurrentDrive || g.Folders.Count() == 0) return;
    LoadCache(g.Folders, *g.CurrentDrive);
    g.Drives.ReadVolume(*g.CurrentDrive);
    ShowDriveStatus(*g.CurrentDrive, &g.Folders);
}

void MainWindow::RefreshNodeAfterDelete(bool treeHadFocus) {
    QTreeWidgetItem* selected = SelectedNode();
    QTreeWidgetItem* node = treeHadFocus && selected ? selected->parent() : selected;
    if (node)
        RereadNode(node);
    else if (selected)
        FillList(selected);
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
    if (!CurrentDriveReady()) return;
    if (QTreeWidgetItem* node = SelectedNode())
        RereadNode(node);
    else
        RefillShown();
    RefreshControls();
}

void MainWindow::onToolsFileManager() {
    if (!CurrentDriveReady()) return;
    std::string path = SelectedPath();
    // The file manager opens the folder; for a file, the folder holding it.
    PathAttributes attributes;
    if (!IsFolderPath(path) && ReadAttributes(path, attributes) && !attributes.IsDir)
        path = ParentFolder(path);
    OpenProgramPath(path);
}

void MainWindow::onToolsOpenWith() {
    if (!CurrentDriveReady()) return;
    OpenProgramPath(SelectedPath());
}

void MainWindow::onToolsCleanup() {
    if (StartTool(QStringLiteral("bleachbit"), {})) return;
    ShowMessageBox("クリーンアップのツールが見つかりません。\nBleachBit (Debian のパッケージ "
                   "bleachbit) をインストールすると使えます。",
                   MB_ICONINFORMATION);
}

void MainWindow::onToolsDefragment() {
    const DriveRecord* cur = Global().CurrentDrive;
    const std::string fs = cur ? cur->FileSystem : std::string();
    const std::string mp = cur ? platform::DriveMountPoint(cur->RootPath) : std::string();
    std::string text;
    if (fs == "ext4")
        text = "ext4 のデフラグはコマンドラインのツール e4defrag "
               "で行います。\n端末で次を実行してください：\n\n"
               "sudo e4defrag " +
               mp;
    else if (fs == "btrfs")
        text = "btrfs のデフラグは端末で次を実行してください：\n\nsudo btrfs filesystem defragment "
               "-r " +
               mp;
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
        ShowMessageBox("このドライブはフォーマットできるデバイスではありません。",
                       MB_ICONINFORMATION);
        return;
    }
    if (StartTool(QStringLiteral("gnome-disks"),
                  {QStringLiteral("--block-device"), QString::fromStdString(device),
                   QStringLiteral("--format-device")}))
        return;
    ShowMessageBox("フォーマットのツールが見つかりません。\nGNOME ディスク (Debian のパッケージ "
                   "gnome-disk-utility) をインストールすると使えます。",
                   MB_ICONINFORMATION);
}

void MainWindow::onToolsSettings() {
    if (Settings->exec() != QDialog::Accepted) return;
    // The list is filled again with the new unit, columns and base.
    RefreshControls();
    FitColumns();
    lastTreeNode_ = nullptr;
    onTreeClick();
}

void MainWindow::onToolsExport() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready) return;
    Export->exec();
}

void MainWindow::onToolsLargestFiles() {
    Files->OpenLargest();
}

void MainWindow::onToolsSearch() {
    Files->OpenSearch();
}

void MainWindow::onToolsFileTypes() {
    Types->OpenTypes();
}

} // namespace nrvs
