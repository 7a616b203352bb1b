// The main window's view menu: removable drives, files in the list, the sort
// order, the treemap and the properties.
#include "ui/main/MainWindow.h"

#include "lib/Messages.h"

#include "core/GlobalState.h"
#include "ui/main/MainWindowParts.h"
#include "ui/main/PropertiesDialog.h"
#include "ui/treemap/TreemapWindow.h"

#include <QAction>

namespace nrvs {

void MainWindow::onViewRemovableDrives() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready) return;
    g.ShowRemovable = !g.ShowRemovable;
    RefreshControls();
    RefreshDrives(INT_MAX);
    if (g.CurrentDrive && DriveMenuItems[static_cast<size_t>(g.CurrentDrive->Index)]->isVisible())
        SelectDrive(DriveMenuItems[static_cast<size_t>(g.CurrentDrive->Index)]->data().toInt());
}

void MainWindow::onViewFileList() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready) {
        RefreshControls();
        return;
    }
    g.ShowFiles = !g.ShowFiles;
    RefreshControls();
    RefillShown();
}

void MainWindow::SetSort(int key, int descending) {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready) {
        RefreshControls();
        return;
    }
    if (key >= 0) g.SortKey = key;
    if (descending >= 0) g.SortDescending = descending;
    RefreshControls();
    RefillShown();
}

void MainWindow::onViewTreemap() {
    MapWindow->show();
    MapWindow->raise();
    MapWindow->activateWindow();
}

void MainWindow::onViewProperties() {
    if (!mainwindow::CurrentDriveReady()) return;
    const std::string path = SelectedPath();
    if (!Properties->Load(path)) {
        ShowMessageBox(path + "\nが見つかりません。", MB_ICONSTOP);
        return;
    }
    Properties->exec();
}

} // namespace nrvs
