// The treemap command of the main window.
#include "ui/main/MainWindow.h"
#include "ui/treemap/TreemapWindow.h"

namespace nrvs {

void MainWindow::onViewTreemap() {
    MapWindow->show();
    MapWindow->raise();
    MapWindow->activateWindow();
}

} // namespace nrvs
