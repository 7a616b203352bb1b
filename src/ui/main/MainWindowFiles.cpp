// The largest-files and search commands of the main window.
#include "ui/main/MainWindow.h"
#include "ui/files/FilesWindow.h"

namespace nrvs {

void TFMmain::MMtolbigClick() { Files->OpenLargest(); }

void TFMmain::MMtolsrcClick() { Files->OpenSearch(); }

} // namespace nrvs
