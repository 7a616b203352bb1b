// The largest-files and search commands of the main window.
#include "ui/main/Utmain.h"
#include "ui/files/Utfiles.h"

namespace nrvs {

void TFMmain::MMtolbigClick() { Files->OpenLargest(); }

void TFMmain::MMtolsrcClick() { Files->OpenSearch(); }

} // namespace nrvs
