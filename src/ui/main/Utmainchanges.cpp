// The changes command of the main window.
#include "ui/changes/Utchanges.h"
#include "ui/main/Utmain.h"

namespace nrvs {

void TFMmain::MMmeschgClick() { Changes->OpenChanges(); }

} // namespace nrvs
