// The main window's menus, its popup menu and its toolbar: every command's
// entry, shortcut and icon, connected to the handler in the file of its menu.
#include "ui/main/MainWindow.h"
#include "ui/WindowLayout.h"

#include "ui/main/MainWindowParts.h"

#include "core/cache/Cache.h"
#include "core/exchange/Ncdu.h"
#include "core/offline/Snapshot.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/Messages.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "platform/Paths.h"
#include "ui/main/ListCellDelegate.h"
#include "ui/main/Images.h"
#include "ui/main/RowModel.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/NetworkDriveDialogs.h"
#include "ui/main/PropertiesDialog.h"
#include "ui/settings/MeasureDrivesDialog.h"
#include "ui/settings/SettingsDialog.h"
#include "ui/sim/SimulationWindow.h"
#include "ui/export/ExportDialog.h"
#include "ui/files/FilesWindow.h"
#include "ui/rank/RankingWindow.h"
#include "ui/treemap/TreemapWindow.h"
#include "ui/types/TypesWindow.h"
#include "ui/changes/ChangesWindow.h"
#include "ui/main/SplashWindow.h"
#include "ui/running/RunningDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
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

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    fileMenu = bar->addMenu(QStringLiteral("操作(&A)"));
    fileMenu->setObjectName("fileMenu");
    fileDrivesAction = MakeAction(this, "fileDrivesAction", QStringLiteral("ドライブ"), -1);
    fileDrivesAction->setVisible(false);
    fileMenu->addAction(fileDrivesAction);
    fileMenu->addSeparator()->setObjectName("fileSeparator1");
    fileOpenFolderAction = MakeAction(this, "fileOpenFolderAction",
                                      QStringLiteral("フォルダを開く(&P)..."), IMG_FOLDER);
    fileOpenFolderAction->setToolTip(
        QStringLiteral("フォルダを選んで、それを含むドライブの上に開きます"));
    fileMenu->addAction(fileOpenFolderAction);
    fileMenu->addSeparator()->setObjectName("fileSeparator4");
    fileNetworkConnectAction =
        MakeAction(this, "fileNetworkConnectAction", QStringLiteral("ネットワーク接続(&O)..."), 27);
    fileNetworkDisconnectAction = MakeAction(this, "fileNetworkDisconnectAction",
                                             QStringLiteral("ネットワーク切断(&N)..."), 28);
    fileMenu->addAction(fileNetworkConnectAction);
    fileMenu->addAction(fileNetworkDisconnectAction);
    fileMenu->addSeparator()->setObjectName("fileSeparator3");
    fileImportScanAction =
        MakeAction(this, "fileImportScanAction", QStringLiteral("スキャンの取り込み(&I)..."), -1);
    fileImportScanAction->setToolTip(QStringLiteral(
        "ncdu -o や gdu -o で書き出したスキャンを、空いているドライブ文字として開きます"));
    fileExportNcduAction =
        MakeAction(this, "fileExportNcduAction", QStringLiteral("ncdu 形式で書き出し(&J)..."), -1);
    fileExportNcduAction->setToolTip(QStringLiteral(
        "表示中のフォルダの計測結果を ncdu -f や gdu -f で開ける形式で書き出します"));
    fileMenu->addAction(fileImportScanAction);
    fileMenu->addAction(fileExportNcduAction);
    fileMenu->addSeparator()->setObjectName("fileSeparator2");
    fileQuitAction = MakeAction(this, "fileQuitAction", QStringLiteral("Norvessa 終了(&Q)"), -1,
                                QKeySequence(QStringLiteral("Ctrl+Q")));
    fileMenu->addAction(fileQuitAction);

    measureMenu = bar->addMenu(QStringLiteral("計測(&M)"));
    measureMenu->setObjectName("measureMenu");
    measureDriveAction = MakeAction(this, "measureDriveAction", QStringLiteral("ドライブ(&D)..."),
                                    11, QKeySequence(QStringLiteral("Ctrl+D")));
    measureFolderAction = MakeAction(this, "measureFolderAction", QStringLiteral("フォルダ(&F)..."),
                                     12, QKeySequence(QStringLiteral("Ctrl+F")));
    measureRankingAction =
        MakeAction(this, "measureRankingAction", QStringLiteral("ランキング(&R)..."), 13,
                   QKeySequence(QStringLiteral("Ctrl+R")));
    measureSimulationAction =
        MakeAction(this, "measureSimulationAction", QStringLiteral("シミュレーション(&S)..."), 14,
                   QKeySequence(QStringLiteral("Ctrl+S")));
    measureMenu->addAction(measureDriveAction);
    measureMenu->addAction(measureFolderAction);
    measureMenu->addSeparator()->setObjectName("measureSeparator1");
    measureMenu->addAction(measureRankingAction);
    measureMenu->addAction(measureSimulationAction);
    measureChangesAction = MakeAction(this, "measureChangesAction", QStringLiteral("変化(&G)..."),
                                      -1, QKeySequence(QStringLiteral("Ctrl+G")));
    measureChangesAction->setIcon(ChangesIcon());
    measureMenu->addAction(measureChangesAction);
    connect(measureChangesAction, &QAction::triggered, this, &MainWindow::onMeasureChanges);

    viewMenu = bar->addMenu(QStringLiteral("表示(&V)"));
    viewMenu->setObjectName("viewMenu");
    viewDriveInfoAction =
        MakeAction(this, "viewDriveInfoAction", QStringLiteral("ドライブ情報(&I)..."), 36,
                   QKeySequence(QStringLiteral("Ctrl+I")));
    viewRemovableDrivesAction = MakeAction(this, "viewRemovableDrivesAction",
                                           QStringLiteral("リムーバブルドライブ(&R)"), 19);
    viewFileListAction =
        MakeAction(this, "viewFileListAction", QStringLiteral("ファイルリスト(&F)"), 9);
    viewSortByNameAction =
        MakeAction(this, "viewSortByNameAction", QStringLiteral("名前順(&N)"), 21);
    viewSortBySizeAction =
        MakeAction(this, "viewSortBySizeAction", QStringLiteral("容量順(&C)"), 22);
    viewAscendingAction = MakeAction(this, "viewAscendingAction", QStringLiteral("昇順(&U)"), 23);
    viewDescendingAction = MakeAction(this, "viewDescendingAction", QStringLiteral("降順(&D)"), 24);
    viewPropertiesAction =
        MakeAction(this, "viewPropertiesAction", QStringLiteral("プロパティ(&P)..."), 26,
                   QKeySequence(QStringLiteral("Ctrl+P")));
    for (QAction* a : {viewRemovableDrivesAction, viewFileListAction, viewSortByNameAction,
                       viewSortBySizeAction, viewAscendingAction, viewDescendingAction})
        a->setCheckable(true);
    viewMenu->addAction(viewDriveInfoAction);
    viewTreemapAction = MakeAction(this, "viewTreemapAction", QStringLiteral("ツリーマップ(&T)..."),
                                   -1, QKeySequence(QStringLiteral("Ctrl+T")));
    viewTreemapAction->setIcon(TreemapIcon());
    viewMenu->addAction(viewTreemapAction);
    connect(viewTreemapAction, &QAction::triggered, this, &MainWindow::onViewTreemap);
    viewMenu->addSeparator()->setObjectName("viewSeparator1");
    viewMenu->addAction(viewRemovableDrivesAction);
    viewMenu->addAction(viewFileListAction);
    viewMenu->addSeparator()->setObjectName("viewSeparator2");
    viewMenu->addAction(viewSortByNameAction);
    viewMenu->addAction(viewSortBySizeAction);
    viewMenu->addAction(viewAscendingAction);
    viewMenu->addAction(viewDescendingAction);
    viewMenu->addSeparator()->setObjectName("viewSeparator3");
    viewMenu->addAction(viewPropertiesAction);

    toolsMenu = bar->addMenu(QStringLiteral("ツール(&T)"));
    toolsMenu->setObjectName("toolsMenu");
    toolsExportAction =
        MakeAction(this, "toolsExportAction", QStringLiteral("エクスポート(&X)..."), 29);
    toolsSearchAction = MakeAction(this, "toolsSearchAction", QStringLiteral("検索(&K)..."), 18,
                                   QKeySequence(QStringLiteral("Ctrl+K")));
    toolsLargestFilesAction =
        MakeAction(this, "toolsLargestFilesAction", QStringLiteral("大きいファイル(&B)..."), 9,
                   QKeySequence(QStringLiteral("Ctrl+B")));
    toolsFileTypesAction =
        MakeAction(this, "toolsFileTypesAction", QStringLiteral("ファイルの種類(&Y)..."), -1,
                   QKeySequence(QStringLiteral("Ctrl+Y")));
    toolsFileTypesAction->setIcon(TypesIcon());
    toolsCopyAction = MakeAction(this, "toolsCopyAction", QStringLiteral("コピー(&C)..."), 15,
                                 QKeySequence(QStringLiteral("Ctrl+C")));
    toolsCopyAction->setData(1);
    toolsMoveAction = MakeAction(this, "toolsMoveAction", QStringLiteral("移動(&M)..."), 16,
                                 QKeySequence(QStringLiteral("Ctrl+M")));
    toolsMoveAction->setData(0);
    toolsDeleteAction = MakeAction(this, "toolsDeleteAction", QStringLiteral("削除(&D)"), 17,
                                   QKeySequence(Qt::Key_Delete));
    toolsFileManagerAction =
        MakeAction(this, "toolsFileManagerAction", QStringLiteral("エクスプローラ(&E)..."), 31,
                   QKeySequence(QStringLiteral("Ctrl+E")));
    toolsOpenWithAction =
        MakeAction(this, "toolsOpenWithAction", QStringLiteral("アプリケーション(&A)..."), 32);
    toolsCleanupAction =
        MakeAction(this, "toolsCleanupAction", QStringLiteral("クリーンアップ(&P)..."), 33);
    toolsDefragmentAction =
        MakeAction(this, "toolsDefragmentAction", QStringLiteral("デフラグ(&G)..."), 34);
    toolsFormatAction =
        MakeAction(this, "toolsFormatAction", QStringLiteral("フォーマット(&F)..."), 35);
    toolsSettingsAction = MakeAction(this, "toolsSettingsAction", QStringLiteral("設定(&U)..."), -1,
                                     QKeySequence(QStringLiteral("Ctrl+U")));
    toolsMenu->addAction(toolsExportAction);
    toolsMenu->addAction(toolsSearchAction);
    toolsMenu->addAction(toolsLargestFilesAction);
    toolsMenu->addAction(toolsFileTypesAction);
    toolsMenu->addSeparator()->setObjectName("toolsSeparator1");
    toolsMenu->addAction(toolsCopyAction);
    toolsMenu->addAction(toolsMoveAction);
    toolsMenu->addAction(toolsDeleteAction);
    toolsMenu->addSeparator()->setObjectName("toolsSeparator2");
    for (QAction* a : {toolsFileManagerAction, toolsOpenWithAction, toolsCleanupAction,
                       toolsDefragmentAction, toolsFormatAction})
        toolsMenu->addAction(a);
    toolsMenu->addSeparator()->setObjectName("toolsSeparator3");
    toolsMenu->addAction(toolsSettingsAction);

    windowMenu = bar->addMenu(QStringLiteral("ウインドウ(&W)"));
    windowMenu->setObjectName("windowMenu");
    windowDriveMonitorAction =
        MakeAction(this, "windowDriveMonitorAction", QStringLiteral("ドライブモニタ(&V)..."), 37,
                   QKeySequence(QStringLiteral("Ctrl+V")));
    windowFolderMonitorAction =
        MakeAction(this, "windowFolderMonitorAction", QStringLiteral("フォルダモニタ(&L)..."), -1,
                   QKeySequence(QStringLiteral("Ctrl+L")));
    windowFolderMonitorAction->setVisible(false);
    windowMenu->addAction(windowDriveMonitorAction);
    windowMenu->addSeparator()->setObjectName("windowSeparator1");
    windowMenu->addAction(windowFolderMonitorAction);
    windowMenu->addSeparator()->setObjectName("windowSeparator2");

    helpMenu = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    helpMenu->setObjectName("helpMenu");
    helpContentsAction =
        MakeAction(this, "helpContentsAction", QStringLiteral("Norvessa ヘルプ(&H)..."), 39,
                   QKeySequence(Qt::Key_F1));
    helpWebsiteAction =
        MakeAction(this, "helpWebsiteAction", QStringLiteral("norvessa.example.org (&W)..."), 40,
                   QKeySequence(QStringLiteral("Ctrl+W")));
    helpVersionAction =
        MakeAction(this, "helpVersionAction", QStringLiteral("バージョン情報(&V)..."), -1);
    helpMenu->addAction(helpContentsAction);
    helpMenu->addSeparator()->setObjectName("helpSeparator1");
    helpMenu->addAction(helpWebsiteAction);
    helpMenu->addSeparator()->setObjectName("helpSeparator2");
    helpMenu->addAction(helpVersionAction);

    // Commands that other windows will bring are shown but not yet offered.
    connect(toolsSettingsAction, &QAction::triggered, this, &MainWindow::onToolsSettings);
    connect(toolsSearchAction, &QAction::triggered, this, &MainWindow::onToolsSearch);
    connect(toolsLargestFilesAction, &QAction::triggered, this, &MainWindow::onToolsLargestFiles);
    connect(toolsFileTypesAction, &QAction::triggered, this, &MainWindow::onToolsFileTypes);
    connect(measureSimulationAction, &QAction::triggered, this, &MainWindow::onMeasureSimulation);
    viewRefreshAction = MakeAction(this, "viewRefreshAction", QStringLiteral("最新の情報に更新"),
                                   -1, QKeySequence(Qt::Key_F5));
    addAction(viewRefreshAction);
    connect(viewRefreshAction, &QAction::triggered, this, &MainWindow::RefreshFromDisk);
    connect(fileOpenFolderAction, &QAction::triggered, this, &MainWindow::onFileOpenFolder);
    connect(fileNetworkConnectAction, &QAction::triggered, this, &MainWindow::onFileNetworkConnect);
    connect(fileImportScanAction, &QAction::triggered, this, &MainWindow::onFileImportScan);
    connect(fileExportNcduAction, &QAction::triggered, this, &MainWindow::onFileExportNcdu);
    connect(fileNetworkDisconnectAction, &QAction::triggered, this,
            &MainWindow::onFileNetworkDisconnect);
    connect(viewPropertiesAction, &QAction::triggered, this, &MainWindow::onViewProperties);
    connect(toolsCopyAction, &QAction::triggered, this, [this] { onToolsCopyOrMove(1); });
    connect(toolsMoveAction, &QAction::triggered, this, [this] { onToolsCopyOrMove(0); });
    connect(toolsDeleteAction, &QAction::triggered, this, &MainWindow::onToolsDelete);
    connect(toolsFileManagerAction, &QAction::triggered, this, &MainWindow::onToolsFileManager);
    connect(toolsOpenWithAction, &QAction::triggered, this, &MainWindow::onToolsOpenWith);
    connect(toolsCleanupAction, &QAction::triggered, this, &MainWindow::onToolsCleanup);
    connect(toolsDefragmentAction, &QAction::triggered, this, &MainWindow::onToolsDefragment);
    connect(toolsFormatAction, &QAction::triggered, this, &MainWindow::onToolsFormat);
    connect(helpContentsAction, &QAction::triggered, this, &MainWindow::onHelpContents);
    connect(helpWebsiteAction, &QAction::triggered, this, &MainWindow::onHelpWebsite);

    connect(fileQuitAction, &QAction::triggered, this, &MainWindow::onFileQuit);
    connect(measureDriveAction, &QAction::triggered, this, &MainWindow::onMeasureDrive);
    connect(measureFolderAction, &QAction::triggered, this, &MainWindow::onMeasureFolder);
    connect(measureRankingAction, &QAction::triggered, this, &MainWindow::onMeasureRanking);
    connect(viewRemovableDrivesAction, &QAction::triggered, this,
            &MainWindow::onViewRemovableDrives);
    connect(viewFileListAction, &QAction::triggered, this, &MainWindow::onViewFileList);
    connect(viewSortByNameAction, &QAction::triggered, this, [this] { SetSort(0, -1); });
    connect(viewSortBySizeAction, &QAction::triggered, this, [this] { SetSort(1, -1); });
    connect(viewAscendingAction, &QAction::triggered, this, [this] { SetSort(-1, 0); });
    connect(viewDescendingAction, &QAction::triggered, this, [this] { SetSort(-1, 1); });

    popupMenu = new QMenu(this);
    popupMenu->setObjectName("popupMenu");
    driveInfoPopupAction =
        MakeAction(this, "driveInfoPopupAction", QStringLiteral("ドライブ情報(&I)"), 36);
    fileManagerPopupAction =
        MakeAction(this, "fileManagerPopupAction", QStringLiteral("エクスプローラ(&E)..."), 31);
    openWithPopupAction =
        MakeAction(this, "openWithPopupAction", QStringLiteral("アプリケーション(&A)..."), 32);
    cleanupPopupAction =
        MakeAction(this, "cleanupPopupAction", QStringLiteral("クリーンアップ(&P)..."), 33);
    defragmentPopupAction =
        MakeAction(this, "defragmentPopupAction", QStringLiteral("デフラグ(&G)..."), 34);
    formatPopupAction =
        MakeAction(this, "formatPopupAction", QStringLiteral("フォーマット(&F)..."), 35);
    copyPopupAction = MakeAction(this, "copyPopupAction", QStringLiteral("コピー(&C)..."), 15);
    copyPopupAction->setData(1);
    movePopupAction = MakeAction(this, "movePopupAction", QStringLiteral("移動(&M)..."), 16);
    deletePopupAction = MakeAction(this, "deletePopupAction", QStringLiteral("削除(&D)"), 17);
    propertiesPopupAction =
        MakeAction(this, "propertiesPopupAction", QStringLiteral("プロパティ(&P)..."), 26);
    popupMenu->addAction(driveInfoPopupAction);
    popupMenu->addSeparator()->setObjectName("popupSeparator1");
    for (QAction* a : {fileManagerPopupAction, openWithPopupAction, cleanupPopupAction,
                       defragmentPopupAction, formatPopupAction})
        popupMenu->addAction(a);
    popupMenu->addSeparator()->setObjectName("popupSeparator2");
    for (QAction* a : {copyPopupAction, movePopupAction, deletePopupAction})
        popupMenu->addAction(a);
    popupMenu->addSeparator()->setObjectName("popupSeparator3");
    popupMenu->addAction(propertiesPopupAction);
    connect(popupMenu, &QMenu::aboutToShow, this, &MainWindow::onPopupMenu);
    // Each popup item runs the main-menu command of its name.
    connect(driveInfoPopupAction, &QAction::triggered, viewDriveInfoAction, &QAction::trigger);
    connect(fileManagerPopupAction, &QAction::triggered, this, &MainWindow::onToolsFileManager);
    connect(openWithPopupAction, &QAction::triggered, this, &MainWindow::onToolsOpenWith);
    connect(cleanupPopupAction, &QAction::triggered, this, &MainWindow::onToolsCleanup);
    connect(defragmentPopupAction, &QAction::triggered, this, &MainWindow::onToolsDefragment);
    connect(formatPopupAction, &QAction::triggered, this, &MainWindow::onToolsFormat);
    connect(copyPopupAction, &QAction::triggered, this, [this] { onToolsCopyOrMove(1); });
    connect(movePopupAction, &QAction::triggered, this, [this] { onToolsCopyOrMove(0); });
    connect(deletePopupAction, &QAction::triggered, this, &MainWindow::onToolsDelete);
    connect(propertiesPopupAction, &QAction::triggered, this, &MainWindow::onViewProperties);
}

void MainWindow::BuildToolbar() {
    toolbar = new QToolBar(toolPanel);
    toolbar->setObjectName("toolbar");
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; spacing: 0px; }"));
    auto* layout = new QVBoxLayout(toolPanel);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->addWidget(toolbar);
    auto button = [this](const char* name, int image, const QString& hint) {
        QAction* a = MakeAction(this, name, QString(), image);
        a->setToolTip(hint);
        toolbar->addAction(a);
        return a;
    };
    measureDriveToolbarAction =
        button("measureDriveToolbarAction", 11, QStringLiteral("ドライブ容量の計測"));
    measureFolderToolbarAction =
        button("measureFolderToolbarAction", 12, QStringLiteral("フォルダ容量の計測"));
    measureRankingToolbarAction =
        button("measureRankingToolbarAction", 13, QStringLiteral("フォルダのランキング"));
    measureSimulationToolbarAction =
        button("measureSimulationToolbarAction", 14, QStringLiteral("容量のシミュレーション"));
    measureChangesToolbarAction =
        button("measureChangesToolbarAction", -1, QStringLiteral("前回の計測からの変化"));
    measureChangesToolbarAction->setIcon(ChangesIcon());
    connect(measureChangesToolbarAction, &QAction::triggered, this, &MainWindow::onMeasureChanges);
    viewTreemapToolbarAction =
        button("viewTreemapToolbarAction", -1, QStringLiteral("ツリーマップ"));
    viewTreemapToolbarAction->setIcon(TreemapIcon());
    connect(viewTreemapToolbarAction, &QAction::triggered, this, &MainWindow::onViewTreemap);
    toolbar->addSeparator()->setObjectName("toolbarSeparator1");
    viewRemovableDrivesToolbarAction = button("viewRemovableDrivesToolbarAction", 19,
                                              QStringLiteral("リムーバブルメディアの表示"));
    viewFileListToolbarAction =
        button("viewFileListToolbarAction", 9, QStringLiteral("ファイルリストの表示"));
    viewSortByNameToolbarAction =
        button("viewSortByNameToolbarAction", 21, QStringLiteral("名前順で表示"));
    viewSortBySizeToolbarAction =
        button("viewSortBySizeToolbarAction", 22, QStringLiteral("容量順で表示"));
    viewAscendingToolbarAction =
        button("viewAscendingToolbarAction", 23, QStringLiteral("昇順で表示"));
    viewDescendingToolbarAction =
        button("viewDescendingToolbarAction", 24, QStringLiteral("降順で表示"));
    toolbar->addSeparator()->setObjectName("toolbarSeparator3");
    toolsSearchToolbarAction =
        button("toolsSearchToolbarAction", 18, QStringLiteral("フォルダ／ファイルの検索"));
    toolsLargestFilesToolbarAction =
        button("toolsLargestFilesToolbarAction", 9, QStringLiteral("大きいファイル"));
    toolsFileTypesToolbarAction =
        button("toolsFileTypesToolbarAction", -1, QStringLiteral("ファイルの種類"));
    toolsFileTypesToolbarAction->setIcon(TypesIcon());
    connect(toolsSearchToolbarAction, &QAction::triggered, this, &MainWindow::onToolsSearch);
    connect(toolsLargestFilesToolbarAction, &QAction::triggered, this,
            &MainWindow::onToolsLargestFiles);
    connect(toolsFileTypesToolbarAction, &QAction::triggered, this, &MainWindow::onToolsFileTypes);
    toolsExportToolbarAction =
        button("toolsExportToolbarAction", 29, QStringLiteral("情報のエクスポート"));
    toolsFileManagerToolbarAction =
        button("toolsFileManagerToolbarAction", 31, QStringLiteral("エクスプローラを起動"));
    toolbar->addSeparator()->setObjectName("toolbarSeparator4");
    helpContentsToolbarAction = button("helpContentsToolbarAction", 39, QStringLiteral("ヘルプ"));
    helpWebsiteToolbarAction =
        button("helpWebsiteToolbarAction", 40, QStringLiteral("サポートウェブページ"));
    for (QAction* a :
         {viewRemovableDrivesToolbarAction, viewFileListToolbarAction, viewSortByNameToolbarAction,
          viewSortBySizeToolbarAction, viewAscendingToolbarAction, viewDescendingToolbarAction})
        a->setCheckable(true);
    connect(measureSimulationToolbarAction, &QAction::triggered, this,
            &MainWindow::onMeasureSimulation);
    connect(toolsFileManagerToolbarAction, &QAction::triggered, this,
            &MainWindow::onToolsFileManager);
    connect(helpContentsToolbarAction, &QAction::triggered, this, &MainWindow::onHelpContents);
    connect(helpWebsiteToolbarAction, &QAction::triggered, this, &MainWindow::onHelpWebsite);
    connect(measureDriveToolbarAction, &QAction::triggered, this, &MainWindow::onMeasureDrive);
    connect(measureFolderToolbarAction, &QAction::triggered, this, &MainWindow::onMeasureFolder);
    connect(measureRankingToolbarAction, &QAction::triggered, this, &MainWindow::onMeasureRanking);
    connect(viewRemovableDrivesToolbarAction, &QAction::triggered, this,
            &MainWindow::onViewRemovableDrives);
    connect(viewFileListToolbarAction, &QAction::triggered, this, &MainWindow::onViewFileList);
    connect(viewSortByNameToolbarAction, &QAction::triggered, this, [this] { SetSort(0, -1); });
    connect(viewSortBySizeToolbarAction, &QAction::triggered, this, [this] { SetSort(1, -1); });
    connect(viewAscendingToolbarAction, &QAction::triggered, this, [this] { SetSort(-1, 0); });
    connect(viewDescendingToolbarAction, &QAction::triggered, this, [this] { SetSort(-1, 1); });
}

} // namespace nrvs
