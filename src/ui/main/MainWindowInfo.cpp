// The main window's commands for drive information, the monitors and the
// version dialog.
#include "ui/main/MainWindow.h"

#include "core/GlobalState.h"
#include "ui/info/DriveInfoDialog.h"
#include "ui/info/DriveMonitorWindow.h"
#include "ui/info/FolderMonitorWindow.h"
#include "ui/info/VersionDialog.h"

#include <QAction>
#include <QShortcut>

namespace nrvs {

void TFMmain::CreateInfoWindows() {
    Ver = new TFMver(this);
    Dinfo = new TFMdinfo(this);
    Mdrv = new TFMmdrv(this);
    Mfdr = new TFMmfdr(this);
    connect(MMviwdif, &QAction::triggered, this, &TFMmain::MMviwdifClick);
    connect(MMwindmn, &QAction::triggered, this, &TFMmain::MMwindmnClick);
    connect(MMwinfmn, &QAction::triggered, this, &TFMmain::MMwinfmnClick);
    connect(MMhlpver, &QAction::triggered, this, &TFMmain::MMhlpverClick);
    // A hidden menu item has no working shortcut: Ctrl+L gets its own.
    auto* folderMonitorKey = new QShortcut(MMwinfmn->shortcut(), this);
    folderMonitorKey->setObjectName("SCwinfmn");
    connect(folderMonitorKey, &QShortcut::activated, this, &TFMmain::MMwinfmnClick);
}

void TFMmain::MMviwdifClick() {
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Ready) return;
    Dinfo->exec();
}

void TFMmain::MMwindmnClick() {
    Mdrv->show();
    Mdrv->raise();
}

void TFMmain::MMwinfmnClick() {
    Mfdr->show();
    Mfdr->raise();
}

void TFMmain::MMhlpverClick() { Ver->exec(); }

void TFMmain::CloseMonitors() {
    if (Mdrv->isVisible()) Mdrv->close();
    if (Mfdr->isVisible()) Mfdr->close();
}

} // namespace nrvs
