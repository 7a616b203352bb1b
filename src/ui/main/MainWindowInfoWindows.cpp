// The main window's commands for drive information, the window menu's
// monitors and the help menu: the help document, the program's page and the
// version dialog.
#include "ui/main/MainWindow.h"

#include "lib/Messages.h"

#include "core/GlobalState.h"
#include "ui/info/DriveInfoDialog.h"
#include "ui/info/DriveMonitorWindow.h"
#include "ui/info/FolderMonitorWindow.h"
#include "ui/info/VersionDialog.h"
#include "platform/ProgramLocation.h"
#include "ui/DesktopOpen.h"

#include <QAction>
#include <QShortcut>

#include <sys/stat.h>

namespace nrvs {

void MainWindow::CreateInfoWindows() {
    VersionInfo = new VersionDialog(this);
    DriveInformation = new DriveInfoDialog(this);
    DriveMonitor = new DriveMonitorWindow(this);
    FolderMonitor = new FolderMonitorWindow(this);
    connect(viewDriveInfoAction, &QAction::triggered, this, &MainWindow::onViewDriveInfo);
    connect(windowDriveMonitorAction, &QAction::triggered, this, &MainWindow::onWindowDriveMonitor);
    connect(windowFolderMonitorAction, &QAction::triggered, this,
            &MainWindow::onWindowFolderMonitor);
    connect(helpVersionAction, &QAction::triggered, this, &MainWindow::onHelpVersion);
    // A hidden menu item has no working shortcut: Ctrl+L gets its own.
    auto* folderMonitorKey = new QShortcut(windowFolderMonitorAction->shortcut(), this);
    folderMonitorKey->setObjectName("folderMonitorShortcut");
    connect(folderMonitorKey, &QShortcut::activated, this, &MainWindow::onWindowFolderMonitor);
}

void MainWindow::onViewDriveInfo() {
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Ready) return;
    DriveInformation->exec();
}

void MainWindow::onWindowDriveMonitor() {
    DriveMonitor->show();
    DriveMonitor->raise();
}

void MainWindow::onWindowFolderMonitor() {
    FolderMonitor->show();
    FolderMonitor->raise();
}

void MainWindow::CloseMonitors() {
    if (DriveMonitor->isVisible()) DriveMonitor->close();
    if (FolderMonitor->isVisible()) FolderMonitor->close();
}

// Help menu.

std::string MainWindow::HelpFileName() {
    return platform::HelpDocumentPath();
}

void MainWindow::onHelpContents() {
    const std::string help = HelpFileName();
    struct stat st {};
    if (::stat(help.c_str(), &st) != 0) {
        ShowMessageBox("ヘルプファイルが見つかりません：\n" + help, MB_ICONSTOP);
        return;
    }
    if (OpenWithDesktop(help) != OpenResult::Opened)
        ShowMessageBox("ヘルプを開くブラウザが登録されていません。\n\n" + help, MB_ICONINFORMATION);
}

// The program's page is the help document that comes with it: a page of the
// build tree would exist on the machine that built it only.
void MainWindow::onHelpWebsite() {
    onHelpContents();
}

void MainWindow::onHelpVersion() {
    VersionInfo->exec();
}

} // namespace nrvs
