// The treemap command of the main window.
#include "ui/main/Utmain.h"
#include "ui/treemap/Uttreemap.h"

namespace nrvs {

void TFMmain::MMviwtmpClick() {
    Tmap->show();
    Tmap->raise();
    Tmap->activateWindow();
}

} // namespace nrvs
