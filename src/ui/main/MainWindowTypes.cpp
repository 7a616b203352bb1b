// The file types command of the main window.
#include "ui/main/MainWindow.h"
#include "ui/types/TypesWindow.h"

namespace nrvs {

void TFMmain::MMtoltypClick() { Types->OpenTypes(); }

} // namespace nrvs
