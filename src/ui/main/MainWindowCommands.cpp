// The main window's commands.
#include "ui/main/MainWindow.h"

#include "ui/main/MainWindowParts.h"

#include "core/cache/Cache.h"
#include "core/measure/Measure.h"
#include "core/cache/Snapshot.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "platform/Paths.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/Images.h"
#include "ui/main/RowModel.h"
#include "ui/main/SplashWindow.h"
#include "ui/rank/RankingWindow.h"
#include "ui/running/RunningDialog.h"
#include "ui/settings/MeasureDrivesDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>


namespace nrvs {

using namespace mainwindow;


void TFMmain::ReopenAfterMeasure(const std::string& path) {
    GlobalState& g = Global();
    justMeasured_ = true;
    OpenPath(path, true);
    if (g.CurrentDrive) ShowDriveStatus(*g.CurrentDrive, &g.Folders);
    justMeasured_ = false;
}

namespace {
// Commands whose state the selection decides (see PMpopPopup).
const QString kFollowSelection[] = {
    QStringLiteral("MMtolcpy"), QStringLiteral("MMtolmov"), QStringLiteral("MMtoldel"), QStringLiteral("MMtolexp"),
    QStringLiteral("MMtolapp"), QStringLiteral("MMtolfmt"),
    QStringLiteral("PMtolcpy"), QStringLiteral("PMtolmov"), QStringLiteral("PMtoldel"), QStringLiteral("PMtolexp"),
    QStringLiteral("PMtolapp"), QStringLiteral("PMviwpty")};

// The running dialog's hooks, and the drives-to-measure dialog for the choice.
class DriveChoiceHooks : public RunningHooks {
public:
    DriveChoiceHooks(TFMing& running, TFMmsrdrv& choose) : RunningHooks(running), choose_(choose) {}
    bool ChooseDrives(std::string& flags) override { return choose_.Run(flags); }

private:
    TFMmsrdrv& choose_;
};
} // namespace

void TFMmain::MMmesdrvClick() {
    GlobalState& g = Global();
    DriveChoiceHooks hooks(*Running, *MsrDrv);
    if (!MeasureDrives(hooks) || !g.CurrentDrive) return;
    ReopenAfterMeasure(g.CurrentDrive->RootPath);
}

void TFMmain::MMmesfldClick() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready || model_->rowCount() == 0) return;
    const std::string path = model_->RowAt(0).Caption;
    RunningHooks hooks(*Running);
    if (!MeasureFolder(path, hooks)) return;
    ReopenAfterMeasure(path);
}

void TFMmain::MMviwremClick() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready) return;
    g.ShowRemovable = !g.ShowRemovable;
    RefreshControls();
    RefreshDrives(INT_MAX);
    if (g.CurrentDrive && DriveMenuItems[static_cast<size_t>(g.CurrentDrive->Index)]->isVisible())
        SelectDrive(DriveMenuItems[static_cast<size_t>(g.CurrentDrive->Index)]->data().toInt());
}

void TFMmain::MMviwlstClick() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready) {
        RefreshControls();
        return;
    }
    g.ShowFiles = !g.ShowFiles;
    RefreshControls();
    RefillShown();
}

void TFMmain::SetSort(int key, int descending) {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready) {
        RefreshControls();
        return;
    }
    if (key >= 0) g.SortKey = key;
    if (descending >= 0) g.SortDescending = descending;
    RefreshControls();
    RefillShown();
}

void TFMmain::MMprcendClick() { close(); }

void TFMmain::UpdateCommandStates() {
    QWidget* focus = QApplication::focusWidget();
    PopupContext = focus == LVlist ? 2 : focus == TVtree ? 1 : 0;
    PMpopPopup();
    for (auto [from, to] : {std::pair{PMtolcpy, MMtolcpy}, {PMtolmov, MMtolmov}, {PMtoldel, MMtoldel},
                            {PMtolexp, MMtolexp}, {PMtolapp, MMtolapp}}) {
        to->setEnabled(from->isEnabled());
        to->setIcon(from->icon());
    }
    const DriveRecord* cur = Global().CurrentDrive;
    const bool removable = cur && cur->Ready && cur->Removable;
    MMtolfmt->setVisible(true);
    MMtolfmt->setEnabled(removable);
    MMtolfmt->setIcon(removable ? ImageIcon(35) : QIcon());
    ApplyOfflineStates();
}

void TFMmain::ApplyOfflineStates() {
    const DriveRecord* cur = Global().CurrentDrive;
    const bool offline = cur && cur->Offline;
    // What needs the drive itself: its files, its volume, a walk of it.
    const std::array<QAction*, 24> needDisk = {
        MMmesdrv, BBmesdrv, MMmesfld, BBmesfld, MMmessim, BBmessim, MMviwdif, MMviwpty, MMwinfmn, BBtolexp,
        MMtolcpy, MMtolmov, MMtoldel, MMtolexp, MMtolapp, MMtolcln, MMtoldfg, MMtolfmt,
        PMtolcpy, PMtolmov, PMtoldel, PMtolexp, PMtolapp, PMviwpty};
    for (QAction* a : needDisk) {
        if (!a) continue;
        if (offline) {
            a->setEnabled(false);
            a->setToolTip(QString::fromUtf8(kOfflineCommandTip));
        } else {
            if (a->toolTip() == QString::fromUtf8(kOfflineCommandTip)) a->setToolTip(QString());
            // Popup items and the commands mirroring them keep what the
            // selection decided.
            if (std::find(std::begin(kFollowSelection), std::end(kFollowSelection), a->objectName()) ==
                std::end(kFollowSelection))
                a->setEnabled(true);
        }
    }
    for (QMenu* m : menuBar()->findChildren<QMenu*>()) m->setToolTipsVisible(offline);
}

void TFMmain::ConnectCommandStates() {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == LVlist || now == TVtree) UpdateCommandStates();
    });
    connect(LVlist->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (QApplication::focusWidget() == LVlist) UpdateCommandStates();
    });
    connect(LVlist->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (QApplication::focusWidget() == LVlist) UpdateCommandStates();
    });
    connect(TVtree, &QTreeWidget::currentItemChanged, this, [this] {
        if (QApplication::focusWidget() == TVtree) UpdateCommandStates();
    });
}

void TFMmain::PMpopPopup() {
    const std::array<QAction*, 10> items = {PMviwinf, PMtolexp, PMtolapp, PMtolcln, PMtoldfg,
                                            PMtolfmt, PMtolcpy, PMtolmov, PMtoldel, PMviwpty};
    for (QAction* a : items) {
        a->setVisible(false);
        a->setEnabled(false);
        a->setIcon(QIcon());
    }
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Ready) return;
    auto offer = [cur](QAction* a, bool wanted) {
        const bool flag = wanted && !cur->Offline;
        a->setVisible(true);
        a->setEnabled(flag);
        a->setIcon(flag ? ImageIcon(a->property("image").toInt()) : QIcon());
    };
    const int context = PopupContext;
    if (context == 0) {
        offer(PMviwinf, true);
        offer(PMtolexp, true);
        offer(PMtolcln, true);
        offer(PMtoldfg, true);
        offer(PMtolfmt, cur->Removable != 0);
    } else if (context == 1 || context == 2) {
        const bool notRoot = SelectedPath().size() > 3;
        if (context == 1) {
            offer(PMtolexp, true);
        } else {
            int row = SelectedRow();
            if (row >= 0) {
                int image = model_->RowAt(row).Image;
                offer(image == IMG_FOLDER || image == IMG_HEADER ? PMtolexp : PMtolapp, true);
            }
        }
        offer(PMtolcpy, notRoot);
        offer(PMtolmov, notRoot);
        offer(PMtoldel, notRoot);
    } else {
        return;
    }
    offer(PMviwpty, true);
}

// The ranking shows what was measured; a drive whose volume cannot be read
// has nothing to rank.
void TFMmain::MMmesrnkClick() {
    GlobalState& g = Global();
    if (!g.CurrentDrive || !g.CurrentDrive->Ready || !g.Drives.ReadVolume(*g.CurrentDrive)) return;
    Rank->setGeometry(geometry().adjusted(32, 32, -32, -32));
    Rank->exec();
}

} // namespace nrvs
