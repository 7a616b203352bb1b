// The treemap command of the main window.
#include "ui/main/MainWindow.h"
#include "ui/treemap/TreemapWindow.h"

namespace nrvs {

void TFMmain::MMviwtmpClick() {
    Tmap->show();
    Tmap->raise();
    Tmap->activateWindow();
}

} // namespace nrvs
