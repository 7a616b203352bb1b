// Which of the main window's commands are offered: the popup menu's items for
// the control with the focus, the main menu following them, and what an
// offline drive cannot do.
#include "ui/main/MainWindow.h"

#include "ui/main/MainWindowParts.h"

#include "core/cache/Cache.h"
#include "core/measure/Measure.h"
#include "core/offline/Snapshot.h"
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

namespace {
// Commands whose state the selection decides (see onPopupMenu).
const QString kFollowSelection[] = {
    QStringLiteral("toolsCopyAction"),     QStringLiteral("toolsMoveAction"),
    QStringLiteral("toolsDeleteAction"),   QStringLiteral("toolsFileManagerAction"),
    QStringLiteral("toolsOpenWithAction"), QStringLiteral("toolsFormatAction"),
    QStringLiteral("copyPopupAction"),     QStringLiteral("movePopupAction"),
    QStringLiteral("deletePopupAction"),   QStringLiteral("fileManagerPopupAction"),
    QStringLiteral("openWithPopupAction"), QStringLiteral("propertiesPopupAction")};
} // namespace

void MainWindow::UpdateCommandStates() {
    QWidget* focus = QApplication::focusWidget();
    PopupContext = focus == folderList ? 2 : focus == folderTree ? 1 : 0;
    onPopupMenu();
    for (auto [from, to] : {std::pair{copyPopupAction, toolsCopyAction},
                            {movePopupAction, toolsMoveAction},
                            {deletePopupAction, toolsDeleteAction},
                            {fileManagerPopupAction, toolsFileManagerAction},
                            {openWithPopupAction, toolsOpenWithAction}}) {
        to->setEnabled(from->isEnabled());
        to->setIcon(from->icon());
    }
    const DriveRecord* cur = Global().CurrentDrive;
    const bool removable = cur && cur->Ready && cur->Removable;
    toolsFormatAction->setVisible(true);
    toolsFormatAction->setEnabled(removable);
    toolsFormatAction->setIcon(removable ? ImageIcon(35) : QIcon());
    ApplyOfflineStates();
}

void MainWindow::ApplyOfflineStates() {
    const DriveRecord* cur = Global().CurrentDrive;
    const bool offline = cur && cur->Offline;
    // What needs the drive itself: its files, its volume, a walk of it.
    const std::array<QAction*, 24> needDisk = {
        measureDriveAction,        measureDriveToolbarAction,
        measureFolderAction,       measureFolderToolbarAction,
        measureSimulationAction,   measureSimulationToolbarAction,
        viewDriveInfoAction,       viewPropertiesAction,
        windowFolderMonitorAction, toolsFileManagerToolbarAction,
        toolsCopyAction,           toolsMoveAction,
        toolsDeleteAction,         toolsFileManagerAction,
        toolsOpenWithAction,       toolsCleanupAction,
        toolsDefragmentAction,     toolsFormatAction,
        copyPopupAction,           movePopupAction,
        deletePopupAction,         fileManagerPopupAction,
        openWithPopupAction,       propertiesPopupAction};
    for (QAction* a : needDisk) {
        if (!a) continue;
        if (offline) {
            a->setEnabled(false);
            a->setToolTip(QString::fromUtf8(kOfflineCommandTip));
        } else {
            if (a->toolTip() == QString::fromUtf8(kOfflineCommandTip)) a->setToolTip(QString());
            // Popup items and the commands mirroring them keep what the
            // selection decided.
            if (std::find(std::begin(kFollowSelection), std::end(kFollowSelection),
                          a->objectName()) == std::end(kFollowSelection))
                a->setEnabled(true);
        }
    }
    for (QMenu* m : menuBar()->findChildren<QMenu*>())
        m->setToolTipsVisible(offline);
}

void MainWindow::ConnectCommandStates() {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == folderList || now == folderTree) UpdateCommandStates();
    });
    connect(folderList->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (QApplication::focusWidget() == folderList) UpdateCommandStates();
    });
    connect(folderList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (QApplication::focusWidget() == folderList) UpdateCommandStates();
    });
    connect(folderTree, &QTreeWidget::currentItemChanged, this, [this] {
        if (QApplication::focusWidget() == folderTree) UpdateCommandStates();
    });
}

void MainWindow::onPopupMenu() {
    const std::array<QAction*, 10> items = {
        driveInfoPopupAction,  fileManagerPopupAction, openWithPopupAction, cleanupPopupAction,
        defragmentPopupAction, formatPopupAction,      copyPopupAction,     movePopupAction,
        deletePopupAction,     propertiesPopupAction};
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
        offer(driveInfoPopupAction, true);
        offer(fileManagerPopupAction, true);
        offer(cleanupPopupAction, true);
        offer(defragmentPopupAction, true);
        offer(formatPopupAction, cur->Removable != 0);
    } else if (context == 1 || context == 2) {
        const bool notRoot = SelectedPath().size() > 3;
        if (context == 1) {
            offer(fileManagerPopupAction, true);
        } else {
            int row = SelectedRow();
            if (row >= 0) {
                int image = model_->RowAt(row).Image;
                offer(image == IMG_FOLDER || image == IMG_HEADER ? fileManagerPopupAction
                                                                 : openWithPopupAction,
                      true);
            }
        }
        offer(copyPopupAction, notRoot);
        offer(movePopupAction, notRoot);
        offer(deletePopupAction, notRoot);
    } else {
        return;
    }
    offer(propertiesPopupAction, true);
}

} // namespace nrvs
