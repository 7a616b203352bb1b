// The file types command of the main window.
#include "ui/main/MainWindow.h"
#include "ui/types/TypesWindow.h"

namespace nrvs {

void MainWindow::onToolsFileTypes() { Types->OpenTypes(); }

} // namespace nrvs
