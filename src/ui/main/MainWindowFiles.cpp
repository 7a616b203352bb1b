// The largest-files and search commands of the main window.
#include "ui/main/MainWindow.h"
#include "ui/files/FilesWindow.h"

namespace nrvs {

void MainWindow::onToolsLargestFiles() { Files->OpenLargest(); }

void MainWindow::onToolsSearch() { Files->OpenSearch(); }

} // namespace nrvs
