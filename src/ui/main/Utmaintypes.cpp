// The file types command of the main window.
#include "ui/main/Utmain.h"
#include "ui/types/Uttypes.h"

namespace nrvs {

void TFMmain::MMtoltypClick() { Types->OpenTypes(); }

} // namespace nrvs
