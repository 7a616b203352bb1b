// The main window's tools menu commands that open the report windows: the
// export, the largest files, the search and the file types.
#include "core/GlobalState.h"
#include "ui/export/ExportDialog.h"
#include "ui/files/FilesWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/types/TypesWindow.h"

namespace nrvs {

void MainWindow::onToolsExport() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready) return;
    Export->exec();
}

void MainWindow::onToolsLargestFiles() { Files->OpenLargest(); }

void MainWindow::onToolsSearch() { Files->OpenSearch(); }

void MainWindow::onToolsFileTypes() { Types->OpenTypes(); }

} // namespace nrvs
