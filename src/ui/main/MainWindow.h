// The main window: drive bar, toolbar, folder tree, the list with totals and
// bar graphs, status bar; browsing and the commands.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/views/Rows.h"
#include "lib/DirectoryListing.h"
#include "lib/StringList.h"

#include <QMainWindow>
#include <array>
#include <climits>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QScreen;
class QSplitter;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace nrvs {

class FileIndex;
struct RemovedItem;
class RowModel;
class ExportDialog;
class FilesWindow;
class RunningDialog;
class NetworkConnectDialog;
class NetworkDisconnectDialog;
class ProgressDialog;
class PropertiesDialog;
class SimulationWindow;
class SettingsDialog;
class MeasureDrivesDialog;
class DriveInfoDialog;
class VersionDialog;
class DriveMonitorWindow;
class FolderMonitorWindow;
class RankingWindow;
class TreemapWindow;
class TypesWindow;
class ChangesWindow;
class SplashWindow;

class MainWindow : public QMainWindow, public DriveItemsUi {
    Q_OBJECT
  public:
    // Loads the parameters, applies the saved geometry and lists the drives.
    explicit MainWindow(const StringList& args, QWidget* parent = nullptr);
    ~MainWindow() override;

    // A window's frame rectangle fitted into the available area of a screen:
    // no larger than the area, then moved inside it.
    static QRect FitFrame(const QRect& frame, const QRect& available);
    // The screen a frame rectangle lies on (its centre, else its top left
    // corner), else the primary screen.
    static QScreen* ScreenOf(const QRect& frame);
    // The smallest size at which every status bar panel is whole.
    QSize MinimumWindowSize() const;
    // Fits the shown window, frame included, into its screen's available area.
    void FitToScreen();

    // ---- layout and refresh ----
    void RefreshControls();
    void FitColumns();
    void ShowDriveStatus(const DriveRecord& drive, const FolderList* folders);
    // paintNow: painted at once (with whatever else of the window waits to
    // be painted), for a drive read without letting messages through.
    void SetDriveLamp(int image, bool paintNow = true);
    void onRefreshTimer(bool byTimer);

    // ---- browsing ----
    void SelectDrive(int listedPos);
    void OpenPath(std::string path, bool force);
    std::string NodePath(const QTreeWidgetItem* node) const;
    void FillTreeLevel(QTreeWidgetItem* node);
    void FillList(QTreeWidgetItem* node);
    // Fills the list for a program-form folder path.
    void FillListPath(const std::string& path);
    // Refills the folder shown: the selected node's, else the list's own.
    void RefillShown();
    std::string SelectedPath();
    void onTreeClick();
    void onListColumnClick(int column);
    void onListDoubleClick();

    // ---- commands ----
    void onMeasureDrive();
    void onMeasureFolder();
    void onViewRemovableDrives();
    void onViewFileList();
    void SetSort(int key, int descending);
    void onFileQuit();
    void onPopupMenu();
    // Copy (tag 1) or move (tag 0) of the selected item into a chosen folder.
    void onToolsCopyOrMove(int tag);
    void onToolsDelete();
    void onToolsFileManager();
    void onToolsOpenWith();
    void onToolsCleanup();
    void onToolsDefragment();
    void onToolsFormat();
    void onViewProperties();
    // A folder chosen in the folder browser, shown on its drive.
    void onFileOpenFolder();
    void onFileNetworkConnect();
    void onFileNetworkDisconnect();
    void RefreshDrivesKeepingShown();
    // A scan of another machine in ncdu's format taken in as a free letter;
    // the folder shown written in that format.
    void onFileImportScan();
    void onFileExportNcdu();
    void onHelpContents();
    void onHelpWebsite();
    void onMeasureSimulation();
    void onToolsSettings();
    void onToolsExport();
    void onViewDriveInfo();
    void onWindowDriveMonitor();
    void onWindowFolderMonitor();
    void onHelpVersion();
    // The monitors that are open close (and so save their settings).
    void CloseMonitors();
    void onMeasureRanking();
    void onViewTreemap();
    // The largest files of the folder shown, and the search of the drive's files.
    void onToolsLargestFiles();
    void onToolsSearch();
    // The files of the folder shown by extension or kind.
    void onToolsFileTypes();
    // What changed since the previous measurement of the drive.
    void onMeasureChanges();
    // F5: the selected node's level and the list read again from the disk.
    void RefreshFromDisk();
    // After the program removed what is listed (with NamesOfFile of each
    // before): the drive's cache and the folder list shown lose it, and its
    // index marks it gone; the list is refilled by the caller. Many at once
    // read the cache again once.
    void ForgetRemovedTotals(const std::vector<RemovedItem>& removed);
    // The help document beside the executable.
    static std::string HelpFileName();

    // DriveItemsUi
    void ShowItem(const DriveRecord& record, int listedPos) override;
    void HideItem(const DriveRecord& record) override;

    // State read by other windows.
    double PercentBaseValue = 0;
    bool DisplayComplete = false;
    int PopupContext = INT_MAX;
    const RowList& Rows() const;

    // Components.
    QMenu *fileMenu, *measureMenu, *viewMenu, *toolsMenu, *windowMenu, *helpMenu, *popupMenu;
    QAction *fileDrivesAction, *fileOpenFolderAction, *fileNetworkConnectAction,
        *fileNetworkDisconnectAction, *fileImportScanAction, *fileExportNcduAction, *fileQuitAction;
    // Chooses the scan file (save: the file to write); the file dialog when
    // not set. Empty: cancelled.
    std::function<std::string(bool save)> ScanFileChooser;
    QAction *measureDriveAction, *measureFolderAction, *measureRankingAction,
        *measureSimulationAction, *measureChangesAction;
    QAction *viewDriveInfoAction, *viewRemovableDrivesAction, *viewFileListAction,
        *viewSortByNameAction, *viewSortBySizeAction, *viewAscendingAction, *viewDescendingAction,
        *viewPropertiesAction;
    QAction *toolsExportAction, *toolsSearchAction, *toolsLargestFilesAction, *toolsFileTypesAction,
        *toolsCopyAction, *toolsMoveAction, *toolsDeleteAction, *toolsFileManagerAction,
        *toolsOpenWithAction, *toolsCleanupAction, *toolsDefragmentAction, *toolsFormatAction,
        *toolsSettingsAction;
    QAction *windowDriveMonitorAction, *windowFolderMonitorAction, *helpContentsAction,
        *helpWebsiteAction, *helpVersionAction;
    QAction* viewRefreshAction; // F5, no menu entry
    QAction *viewTreemapAction, *viewTreemapToolbarAction, *measureChangesToolbarAction;
    QAction *measureDriveToolbarAction, *measureFolderToolbarAction, *measureRankingToolbarAction,
        *measureSimulationToolbarAction, *viewRemovableDrivesToolbarAction,
        *viewFileListToolbarAction, *viewSortByNameToolbarAction, *viewSortBySizeToolbarAction,
        *viewAscendingToolbarAction, *viewDescendingToolbarAction, *toolsSearchToolbarAction,
        *toolsLargestFilesToolbarAction, *toolsFileTypesToolbarAction, *toolsExportToolbarAction,
        *toolsFileManagerToolbarAction, *helpContentsToolbarAction, *helpWebsiteToolbarAction;
    QAction *driveInfoPopupAction, *fileManagerPopupAction, *openWithPopupAction,
        *cleanupPopupAction, *defragmentPopupAction, *formatPopupAction, *copyPopupAction,
        *movePopupAction, *deletePopupAction, *propertiesPopupAction;
    QWidget *driveBar, *clientPanel, *toolPanel;
    QLabel* driveLamp;
    QToolBar* toolbar;
    QSplitter* treeListSplitter;
    QTreeWidget* folderTree;
    QTableView* folderList;
    std::array<QLabel*, 7> statusPanels{};
    QTimer* refreshTimer;
    RunningDialog* Running;
    ProgressDialog* Progress;
    ExportDialog* Export;
    PropertiesDialog* Properties;
    SimulationWindow* Simulation;
    SettingsDialog* Settings;
    MeasureDrivesDialog* MeasureDrivesChoice;
    VersionDialog* VersionInfo;
    DriveInfoDialog* DriveInformation;
    DriveMonitorWindow* DriveMonitor;
    FolderMonitorWindow* FolderMonitor;
    RankingWindow* Ranking = nullptr;
    FilesWindow* Files = nullptr;
    TreemapWindow* MapWindow;
    TypesWindow* Types = nullptr;
    ChangesWindow* Changes = nullptr;
    NetworkConnectDialog* NetworkConnect;
    NetworkDisconnectDialog* NetworkDisconnect;
    SplashWindow* Splash = nullptr;
    std::array<QAction*, 26> DriveMenuItems{};
    std::array<QToolButton*, 26> DriveButtons{};

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The drive information, version and monitor windows, and their commands.
    void CreateInfoWindows();
    void BuildMenus();
    void BuildToolbar();
    void BuildDriveBar();
    void BuildBody();
    void ApplyGeometry();
    void FitToScreen(const QRect& frame, const QMargins& margins);
    QMargins FrameMargins() const;
    void StoreGeometry();
    void ReopenAfterMeasure(const std::string& path);
    // Opens a program-form folder on its drive; where the measurement rule
    // says so, asks to measure it: the drive for its root, else the folder
    // alone.
    void OpenAndMeasure(const std::string& path, bool force);
    void MeasureFolderAt(const std::string& path);
    void ReportOperation(bool ok, const std::vector<std::string>& errors, const char* verb);
    // The popup's preparation for the control with the focus, and the main
    // menu's commands following it; run whenever focus or selection changes,
    // so that a shortcut acts on what is selected now.
    void UpdateCommandStates();
    // Commands that need the drive itself are off while it is not here.
    void ApplyOfflineStates();
    void ConnectCommandStates();
    void RefreshNodeAfterDelete(bool treeHadFocus);
    void RereadNode(QTreeWidgetItem* node);
    void TreeMouseDown(QObject* source, const QPoint& globalPos, const QPoint& localPos);
    void ListMouseDown(const QPoint& globalPos, const QPoint& localPos);
    void TreeKey(int key);
    QTreeWidgetItem* SelectedNode() const;
    int SelectedRow() const;

    // A folder's entries: from the disk, or from the last measurement when
    // the drive is not here.
    void ListShown(DirListing& listing, const std::string& path, int kind,
                   StringList* hasSubfolders = nullptr);
    bool ShowsOffline() const;
    std::string ChooseScanFile(bool save);

    RowModel* model_;
    // The file index an offline drive's files are listed from.
    std::shared_ptr<const FileIndex> snapshotIndex_;
    QTreeWidgetItem* lastTreeNode_ = nullptr;
    bool openingPath_ = false;
    bool justMeasured_ = false;
    bool fillingTree_ = false;
    bool fillingList_ = false;
    bool saved_ = false;
    bool started_ = false;
    // While FitColumns sets the widths: a width set then is no user's choice.
    bool fittingColumns_ = false;
    // The graph column's width as the user or the settings gave it; it is
    // narrower only while the other columns need its room.
    int graphWidth_ = 200;
};

} // namespace nrvs
