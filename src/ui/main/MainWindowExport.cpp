// The main window's export command.
#include "core/GlobalState.h"
#include "ui/export/ExportDialog.h"
#include "ui/main/MainWindow.h"

namespace nrvs {

void MainWindow::onToolsExport() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready) return;
    Export->exec();
}

} // namespace nrvs
