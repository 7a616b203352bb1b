// The main window: drive bar, toolbar, folder tree, the list with totals and
// bar graphs, status bar; browsing and the commands.
#pragma once

#include "core/drives/DriveTable.h"
#include "core/views/Rows.h"
#include "lib/DirectoryListing.h"
#include "lib/Text.h"

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
class RowModel;
class TFMexport;
class TFMfiles;
class TFMing;
class TFMnetcon;
class TFMnetdis;
class TFMprogress;
class TFMprop;
class TFMsim;
class TFMset;
class TFMmsrdrv;
class TFMdinfo;
class TFMver;
class TFMmdrv;
class TFMmfdr;
class TFMrank;
class TFMtreemap;
class TFMtypes;
class TFMchanges;
class TFMglobal;

class TFMmain : public QMainWindow, public DriveItemsUi {
    Q_OBJECT
public:
    // Loads the parameters, applies the saved geometry and lists the drives.
    explicit TFMmain(const StringList& args, QWidget* parent = nullptr);
    ~TFMmain() override;

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
    void SetDriveLamp(int image);
    void TMtimerTimer(bool byTimer);

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
    void TVtreeClick();
    void LVlistColumnClick(int column);
    void LVlistDblClick();

    // ---- commands ----
    void MMmesdrvClick();
    void MMmesfldClick();
    void MMviwremClick();
    void MMviwlstClick();
    void SetSort(int key, int descending);
    void MMprcendClick();
    void PMpopPopup();
    // Copy (tag 1) or move (tag 0) of the selected item into a chosen folder.
    void MMtolcpyClick(int tag);
    void MMtoldelClick();
    void MMtolexpClick();
    void MMtolappClick();
    void MMtolclnClick();
    void MMtoldfgClick();
    void MMtolfmtClick();
    void MMviwptyClick();
    void MMprcnonClick();
    void MMprcnofClick();
    // A scan of another machine in ncdu's format taken in as a free letter;
    // the folder shown written in that format.
    void MMprcimpClick();
    void MMprcexnClick();
    void MMhlphlpClick();
    void MMhlpwwwClick();
    void MMmessimClick();
    void MMtolsetClick();
    void MMtoletrClick();
    void MMviwdifClick();
    void MMwindmnClick();
    void MMwinfmnClick();
    void MMhlpverClick();
    // The monitors that are open close (and so save their settings).
    void CloseMonitors();
    void MMmesrnkClick();
    void MMviwtmpClick();
    // The largest files of the folder shown, and the search of the drive's files.
    void MMtolbigClick();
    void MMtolsrcClick();
    // The files of the folder shown by extension or kind.
    void MMtoltypClick();
    // What changed since the previous measurement of the drive.
    void MMmeschgClick();
    // F5: the selected node's level and the list read again from the disk.
    void RefreshFromDisk();
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
    QMenu *MMprc, *MMmes, *MMviw, *MMtol, *MMwin, *MMhlp, *PMpop;
    QAction *MMprcdrv, *MMprcnon, *MMprcnof, *MMprcimp, *MMprcexn, *MMprcend;
    // Chooses the scan file (save: the file to write); the file dialog when
    // not set. Empty: cancelled.
    std::function<std::string(bool save)> ScanFileChooser;
    QAction *MMmesdrv, *MMmesfld, *MMmesrnk, *MMmessim, *MMmeschg;
    QAction *MMviwdif, *MMviwrem, *MMviwlst, *MMviwnme, *MMviwcap, *MMviwupp, *MMviwdwn, *MMviwpty;
    QAction *MMtoletr, *MMtolsrc, *MMtolbig, *MMtoltyp, *MMtolcpy, *MMtolmov, *MMtoldel, *MMtolexp, *MMtolapp, *MMtolcln, *MMtoldfg,
        *MMtolfmt, *MMtolset;
    QAction *MMwindmn, *MMwinfmn, *MMhlphlp, *MMhlpwww, *MMhlpver;
    QAction* MMviwref;  // F5, no menu entry
    QAction *MMviwtmp, *BBviwtmp, *BBmeschg;
    QAction *BBmesdrv, *BBmesfld, *BBmesrnk, *BBmessim, *BBviwrem, *BBviwlst, *BBviwnme, *BBviwcap, *BBviwupp,
        *BBviwdwn, *BBtolsrc, *BBtolbig, *BBtoltyp, *BBtoletr, *BBtolexp, *BBhlphlp, *BBhlpwww;
    QAction *PMviwinf, *PMtolexp, *PMtolapp, *PMtolcln, *PMtoldfg, *PMtolfmt, *PMtolcpy, *PMtolmov, *PMtoldel,
        *PMviwpty;
    QWidget *PLdrv, *PLclient, *PLtool;
    QLabel* IMdrv;
    QToolBar* TBtool;
    QSplitter* PLbase;
    QTreeWidget* TVtree;
    QTableView* LVlist;
    std::array<QLabel*, 7> SBpanels{};
    QTimer* TMtimer;
    TFMing* Running;
    TFMprogress* Progress;
    TFMexport* Export;
    TFMprop* Properties;
    TFMsim* Sim;
    TFMset* Settings;
    TFMmsrdrv* MsrDrv;
    TFMver* Ver;
    TFMdinfo* Dinfo;
    TFMmdrv* Mdrv;
    TFMmfdr* Mfdr;
    TFMrank* Rank = nullptr;
    TFMfiles* Files = nullptr;
    TFMtreemap* Tmap;
    TFMtypes* Types = nullptr;
    TFMchanges* Changes = nullptr;
    TFMnetcon* NetConnect;
    TFMnetdis* NetDisconnect;
    TFMglobal* Splash = nullptr;
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
    void ListShown(DirListing& listing, const std::string& path, int kind, StringList* hasSubfolders = nullptr);
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
};

} // namespace nrvs
