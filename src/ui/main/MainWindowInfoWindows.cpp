// The main window's commands for drive information, the monitors and the
// version dialog.
#include "ui/main/MainWindow.h"

#include "core/GlobalState.h"
#include "ui/info/DriveInfoDialog.h"
#include "ui/info/DriveMonitorWindow.h"
#include "ui/info/FolderMonitorWindow.h"
#include "ui/info/VersionDialog.h"

#include <QAction>
#include <QShortcut>

namespace nrvs {

void MainWindow::CreateInfoWindows() {
    VersionInfo = new VersionDialog(this);
    DriveInformation = new DriveInfoDialog(this);
    DriveMonitor = new DriveMonitorWindow(this);
    FolderMonitor = new FolderMonitorWindow(this);
    connect(viewDriveInfoAction, &QAction::triggered, this, &MainWindow::onViewDriveInfo);
    connect(windowDriveMonitorAction, &QAction::triggered, this, &MainWindow::onWindowDriveMonitor);
    connect(windowFolderMonitorAction, &QAction::triggered, this, &MainWindow::onWindowFolderMonitor);
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

void MainWindow::onHelpVersion() { VersionInfo->exec(); }

void MainWindow::CloseMonitors() {
    if (DriveMonitor->isVisible()) DriveMonitor->close();
    if (FolderMonitor->isVisible()) FolderMonitor->close();
}

} // namespace nrvs
