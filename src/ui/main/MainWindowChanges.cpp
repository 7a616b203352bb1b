// The changes command of the main window.
#include "ui/changes/ChangesWindow.h"
#include "ui/main/MainWindow.h"

namespace nrvs {

void MainWindow::onMeasureChanges() { Changes->OpenChanges(); }

} // namespace nrvs
