// The main window's export command.
#include "core/Utglobal.h"
#include "ui/export/Utexport.h"
#include "ui/main/Utmain.h"

namespace nrvs {

void TFMmain::MMtoletrClick() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready) return;
    Export->exec();
}

} // namespace nrvs
