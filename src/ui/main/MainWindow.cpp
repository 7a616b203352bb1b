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
#include "platform/ErrorText.h"
#include "platform/Paths.h"
#include "platform/ProgramLocation.h"
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

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace nrvs {

using namespace mainwindow;

MainWindow::MainWindow(const StringList& args, QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainWindow");
    LoadParameters(args);
    setWindowTitle(QStringLiteral(" Quorvalix - Norvessa -"));
    setFont(ListFont());
    BuildMenus();
    BuildDriveBar();
    BuildBody();
    BuildToolbar();
    Running = new RunningDialog(this);
    Progress = new ProgressDialog(this);
    Export = new ExportDialog(this);
    CreateInfoWindows();
    Ranking = new RankingWindow(this, Running);
    Ranking->OnShowFolder = [this](const std::string& path) {
        OpenPath(path, false);
        folderList->setFocus();
    };
    Files = new FilesWindow(this);
    MapWindow = new TreemapWindow(this);
    Types = new TypesWindow(this);
    Changes = new ChangesWindow(this);
    Properties = new PropertiesDialog(this);
    Simulation = new SimulationWindow(this);
    Settings = new SettingsDialog(this);
    MeasureDrivesChoice = new MeasureDrivesDialog(this);
    NetworkConnect = new NetworkConnectDialog(this);
    NetworkDisconnect = new NetworkDisconnectDialog(this);
    ConnectCommandStates();
    Splash = new SplashWindow(this);
    refreshTimer = new QTimer(this);
    refreshTimer->setObjectName("refreshTimer");
    refreshTimer->setInterval(200);
    refreshTimer->setSingleShot(true);
    connect(refreshTimer, &QTimer::timeout, this, [this] { onRefreshTimer(true); });
    ApplyGeometry();
    PopupContext = INT_MAX;
    Global().Drives.SetItemsUi(this);
    RefreshDrives(INT_MAX);
}

MainWindow::~MainWindow() {
    // The widgets below go away after this body: their focus and selection
    // changes must not reach a half-destroyed window.
    disconnect(qApp, nullptr, this, nullptr);
    if (folderList->selectionModel())
        disconnect(folderList->selectionModel(), nullptr, this, nullptr);
    disconnect(folderTree, nullptr, this, nullptr);
    Global().Drives.SetItemsUi(nullptr);
}

const RowList& MainWindow::Rows() const {
    return model_->Rows();
}

// ---------------------------------------------------------------- layout

void MainWindow::BuildDriveBar() {
    driveBar = new QWidget(this);
    driveBar->setObjectName("driveBar");
    driveBar->setFixedWidth(36);
    driveLamp = new QLabel(driveBar);
    driveLamp->setObjectName("driveLamp");
    driveLamp->setGeometry(12, 7, 12, 12);
    for (int n = 0; n < 26; ++n) {
        const QString letter = QString(QChar('A' + n));
        auto* item = new QAction(letter, this);
        item->setObjectName(QStringLiteral("fileDrivesAction%1").arg(letter));
        item->setCheckable(true);
        item->setVisible(false);
        fileMenu->insertAction(fileDrivesAction, item);
        connect(item, &QAction::triggered, this,
                [this, item] { SelectDrive(item->data().toInt()); });
        DriveMenuItems[static_cast<size_t>(n)] = item;

        auto* b = new QToolButton(driveBar);
        b->setObjectName(QStringLiteral("driveButton%1").arg(letter));
        b->setText(letter);
        b->setAutoRaise(true);
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(16, 16));
        b->setGeometry(1, 26, 33, 24);
        b->setVisible(false);
        b->installEventFilter(this);
        connect(b, &QToolButton::clicked, this,
                [this, b] { SelectDrive(b->property("tag").toInt()); });
        DriveButtons[static_cast<size_t>(n)] = b;
    }
}

void MainWindow::BuildBody() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* bevel = new QFrame(central);
    bevel->setObjectName("topBevel");
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setFixedHeight(2);
    outer->addWidget(bevel);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    outer->addLayout(row, 1);
    row->addWidget(driveBar);
    clientPanel = new QWidget(central);
    clientPanel->setObjectName("clientPanel");
    row->addWidget(clientPanel, 1);
    auto* client = new QVBoxLayout(clientPanel);
    client->setContentsMargins(0, 0, 0, 0);
    client->setSpacing(0);
    toolPanel = new QWidget(clientPanel);
    toolPanel->setObjectName("toolPanel");
    toolPanel->setFixedHeight(26);
    client->addWidget(toolPanel);
    treeListSplitter = new QSplitter(Qt::Horizontal, clientPanel);
    treeListSplitter->setObjectName("treeListSplitter");
    treeListSplitter->setHandleWidth(3);
    treeListSplitter->setChildrenCollapsible(false);
    client->addWidget(treeListSplitter, 1);

    folderTree = new FolderTree(treeListSplitter);
    folderTree->setObjectName("folderTree");
    folderTree->setHeaderHidden(true);
    folderTree->setRootIsDecorated(true);
    folderTree->setIndentation(19);
    folderTree->setIconSize(QSize(16, 16));
    folderTree->setSortingEnabled(true);
    folderTree->sortByColumn(0, Qt::AscendingOrder);
    folderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    folderTree->setContextMenuPolicy(Qt::NoContextMenu);
    folderTree->viewport()->installEventFilter(this);
    folderTree->installEventFilter(this);
    connect(folderTree, &QTreeWidget::itemClicked, this, [this] { onTreeClick(); });
    connect(folderTree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        // The root's level is refilled in place rather than rebuilding the
        // tree from inside its own expansion.
        FillTreeLevel(node);
    });

    model_ = new RowModel(this);
    folderList = new QTableView(treeListSplitter);
    folderList->setObjectName("folderList");
    folderList->setProperty("tag", 2);
    folderList->setModel(model_);
    folderList->setFont(ListFont());
    folderList->setShowGrid(false);
    folderList->setWordWrap(false);
    folderList->setSelectionBehavior(QAbstractItemView::SelectRows);
    folderList->setSelectionMode(QAbstractItemView::SingleSelection);
    folderList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    folderList->setIconSize(QSize(16, 16));
    folderList->verticalHeader()->hide();
    folderList->verticalHeader()->setDefaultSectionSize(QFontMetrics(ListFont()).height() + 6);
    folderList->horizontalHeader()->setHighlightSections(false);
    folderList->horizontalHeader()->setSectionsClickable(true);
    folderList->horizontalHeader()->setMinimumSectionSize(0);
    folderList->horizontalHeader()->setStretchLastSection(false);
    folderList->setItemDelegate(
        new ListCellDelegate([this] { return PercentBaseValue; }, folderList));
    folderList->setContextMenuPolicy(Qt::NoContextMenu);
    folderList->viewport()->installEventFilter(this);
    folderList->installEventFilter(this);
    connect(folderList->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &MainWindow::onListColumnClick);
    // The name column's width the user chose is the least it gets.
    connect(folderList->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (fittingColumns_ || size <= 0) return;
                if (section == 0) Global().NameColumnWidth = size;
                if (section == 3) graphWidth_ = size;
            });
    connect(folderList, &QTableView::doubleClicked, this, [this] { onListDoubleClick(); });
    connect(treeListSplitter, &QSplitter::splitterMoved, this, [this] {
        folderTree->viewport()->update();
        folderList->viewport()->update();
    });
    treeListSplitter->addWidget(folderTree);
    treeListSplitter->addWidget(folderList);
    treeListSplitter->setStretchFactor(1, 1);
    setCentralWidget(central);

    static const int widths[7] = {20, 100, 100, 100, 170, 90, 50};
    // The longest texts the panels show; a font wider than the design's
    // widens its panel rather than cutting the text.
    static const char* const widest[7] = {"W",
                                          "",
                                          "Total  999.99 MB",
                                          "Free  999.99 MB",
                                          "Snap.  0000/00/00 00:00:00",
                                          "Lap.  00:00:00",
                                          ""};
    statusBar()->setObjectName("statusBar");
    statusBar()->setSizeGripEnabled(false);
    for (int i = 0; i < 7; ++i) {
        auto* p = new QLabel(statusBar());
        p->setObjectName(QStringLiteral("statusPanel%1").arg(i));
        p->setAlignment(Qt::AlignCenter);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        const int text = p->fontMetrics().horizontalAdvance(QString::fromUtf8(widest[i]));
        p->setFixedWidth(std::max(widths[i], text + 2 * p->frameWidth() + 8));
        statusBar()->addWidget(p);
        statusPanels[static_cast<size_t>(i)] = p;
    }
    setMinimumSize(MinimumWindowSize());
}

QSize MainWindow::MinimumWindowSize() const {
    // Narrower than its status bar, the window would lay the panels over one
    // another; the status bar's own layout knows their widths and spacing.
    int width = 0;
    for (const QLabel* p : statusPanels)
        width += p->width() + 6;
    if (const QLayout* l = statusBar()->layout()) width = std::max(width, l->minimumSize().width());
    // Menu, toolbar and status bar with a few rows of tree and list between.
    const int rows = 6 * (QFontMetrics(ListFont()).height() + 6);
    const int height =
        menuBar()->sizeHint().height() + 2 + 26 + rows + statusBar()->sizeHint().height();
    return {width, height};
}

QRect MainWindow::FitFrame(const QRect& frame, const QRect& available) {
    return FitRect(frame, available);
}

QScreen* MainWindow::ScreenOf(const QRect& frame) {
    return ScreenHolding(frame);
}

void MainWindow::FitToScreen(const QRect& frame, const QMargins& margins) {
    GlobalState& g = Global();
    QScreen* screen = ScreenOf(frame);
    if (!screen) return;
    // The frame (title bar and borders) is part of what must fit: the area
    // left by panels and docks, not the whole screen.
    const QRect fitted = FitFrame(frame, screen->availableGeometry());
    const QSize client = QSize(fitted.width() - margins.left() - margins.right(),
                               fitted.height() - margins.top() - margins.bottom())
                             .expandedTo(minimumSize());
    g.MainWidth = client.width();
    g.MainHeight = client.height();
    g.MainLeft = fitted.left();
    g.MainTop = fitted.top();
    if (size() != client) resize(client);
    // Moved even to where it seems to be: a window never moved is placed
    // by the window manager wherever it likes.
    if (!testAttribute(Qt::WA_Moved) || pos() != fitted.topLeft()) move(fitted.topLeft());
}

QMargins MainWindow::FrameMargins() const {
    const QRect f = frameGeometry();
    const QRect c = geometry();
    return {c.left() - f.left(), c.top() - f.top(), f.right() - c.right(), f.bottom() - c.bottom()};
}

void MainWindow::FitToScreen() {
    if (isMaximized() || isFullScreen() || isMinimized()) return;
    FitToScreen(frameGeometry(), FrameMargins());
}

void MainWindow::ApplyGeometry() {
    GlobalState& g = Global();
    // The first start (no window size stored yet): a good share of the
    // screen, centred, the tree a fifth of it; later starts keep what the
    // user left.
    if (LineAt(g.ParamLines, 0, "").empty()) {
        if (const QScreen* s = QGuiApplication::primaryScreen()) {
            const QRect avail = s->availableGeometry();
            const QSize size(std::max(std::min(1000, avail.width()), avail.width() * 3 / 4),
                             std::max(std::min(600, avail.height()), avail.height() * 3 / 4));
            QRect frame(QPoint(), size);
            frame.moveCenter(avail.center());
            g.MainLeft = frame.left();
            g.MainTop = frame.top();
            g.MainWidth = size.width();
            g.MainHeight = size.height();
            g.TreeWidth = std::max(g.TreeWidth, size.width() / 5);
        }
    }
    // The frame is not known before the window manager has framed the
    // window; the start-up tick fits the window again with it.
    FitToScreen(QRect(g.MainLeft, g.MainTop, g.MainWidth, g.MainHeight), QMargins());
    treeListSplitter->setSizes({g.TreeWidth, std::max(1, g.MainWidth - g.TreeWidth)});
    folderList->setColumnWidth(0, g.NameColumnWidth);
    folderList->setColumnWidth(3, g.GraphColumnWidth);
}

void MainWindow::StoreGeometry() {
    GlobalState& g = Global();
    // The frame's position and the client's size, as move() and resize()
    // take them back at the next start.
    QRect frame(pos(), size());
    if (isMaximized() || isFullScreen() || isMinimized()) {
        const QRect normal = normalGeometry();
        const QMargins m = FrameMargins();
        if (normal.isValid())
            frame = QRect(normal.topLeft() - QPoint(m.left(), m.top()), normal.size());
    }
    g.MainWidth = frame.width();
    g.MainHeight = frame.height();
    g.MainLeft = frame.left();
    g.MainTop = frame.top();
    g.TreeWidth = folderTree->width();
    g.GraphColumnWidth = graphWidth_;
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (started_) return;
    started_ = true;
    RefreshControls();
    FitColumns();
    refreshTimer->start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!saved_) {
        StoreGeometry();
        if (!SaveParameters()) TellSaveFailed(Global().ParamFileName);
        saved_ = true;
    }
    CloseMonitors();
    event->accept();
}

void MainWindow::SetDriveLamp(int image, bool paintNow) {
    driveLamp->setPixmap(LampPixmap(image));
    driveLamp->setProperty("lamp", image);
    if (paintNow) driveLamp->repaint();
}

void MainWindow::ShowItem(const DriveRecord& record, int listedPos) {
    const size_t n = static_cast<size_t>(record.Index);
    QAction* item = DriveMenuItems[n];
    const QString offline = record.Offline ? QStringLiteral("  [オフライン]") : QString();
    // The letter is the item's mnemonic; an "&" in the volume name is shown
    // as it is.
    item->setText(QStringLiteral("&") + QChar('A' + record.Index) + QStringLiteral("  ") +
                  Q(record.VolumeName).replace(u'&', QStringLiteral("&&")) + offline);
    item->setIcon(ImageIcon(static_cast<int>(record.Category)));
    item->setData(listedPos);
    item->setVisible(true);
    QToolButton* b = DriveButtons[n];
    b->setToolTip(record.Offline ? Q(record.VolumeName) + QStringLiteral("\n") +
                                       Q(SnapshotText(record, CacheHeaderLine(record)))
                                 : Q(record.VolumeName));
    b->setIcon(ImageIcon(static_cast<int>(record.Category)));
    b->setProperty("tag", listedPos);
    b->move(1, listedPos * 24 + 26);
    b->setVisible(true);
}

void MainWindow::HideItem(const DriveRecord& record) {
    const size_t n = static_cast<size_t>(record.Index);
    if (n >= 26) return;
    DriveMenuItems[n]->setVisible(false);
    DriveButtons[n]->setVisible(false);
}

void MainWindow::RefreshControls() {
    QApplication::processEvents();
    GlobalState& g = Global();
    const DriveRecord* cur = g.CurrentDrive;
    const bool ready = cur && cur->Ready;
    toolPanel->setEnabled(ready);
    viewRemovableDrivesAction->setChecked(g.ShowRemovable);
    viewRemovableDrivesToolbarAction->setChecked(g.ShowRemovable);
    viewFileListAction->setChecked(g.ShowFiles);
    viewFileListToolbarAction->setChecked(g.ShowFiles);
    driveBar->setFixedWidth(DigitAt(g.BarFlags, 0) != 0 ? 36 : 2);
    toolPanel->setVisible(DigitAt(g.BarFlags, 1) != 0);
    statusBar()->setVisible(DigitAt(g.BarFlags, 2) != 0);
    viewSortByNameAction->setChecked(g.SortKey == 0);
    viewSortByNameToolbarAction->setChecked(g.SortKey == 0);
    viewSortBySizeAction->setChecked(g.SortKey == 1);
    viewSortBySizeToolbarAction->setChecked(g.SortKey == 1);
    viewAscendingAction->setChecked(g.SortDescending == 0);
    viewAscendingToolbarAction->setChecked(g.SortDescending == 0);
    viewDescendingAction->setChecked(g.SortDescending == 1);
    viewDescendingToolbarAction->setChecked(g.SortDescending == 1);
    for (int n = 0; n < 26; ++n) {
        const bool current = cur && cur->Index == n;
        DriveMenuItems[static_cast<size_t>(n)]->setChecked(current);
        if (current) DriveButtons[static_cast<size_t>(n)]->setChecked(true);
    }
    UpdateCommandStates();
    model_->SetSortImages(g.SortKey == 1          ? 25
                          : g.SortDescending == 1 ? 24
                                                  : 23,
                          g.SortKey == 0          ? 25
                          : g.SortDescending == 1 ? 24
                                                  : 23);
    QApplication::processEvents();
}

void MainWindow::FitColumns() {
    GlobalState& g = Global();
    QFont f = folderList->font();
    int p = f.pointSize() > 0 ? f.pointSize() : 9;
    std::array<int, 6> w = ColumnWidths(model_->Rows(), p, g.SizeUnit, g.ColumnFlags,
                                        folderList->columnWidth(0), graphWidth_);
    // The name column takes the room the other columns leave, never less
    // than the width the user gave it.
    // The 増減 column is switched on like the others, in the settings.
    const int changeWidth = DigitAt(g.ColumnFlags, 4) == 1 ? p * 130 / 9 : 0;
    int others = changeWidth;
    for (int c = 1; c < 6; ++c)
        others += w[static_cast<size_t>(c)];
    const int nameBase = g.NameColumnWidth > 0 ? g.NameColumnWidth : 150;
    // Where the name column would get less (the 増減 column switched on in
    // a 1000-pixel window), the graph column gives up room first, down to
    // a short bar beside "100.0 %".
    const int room = folderList->viewport()->width();
    const int graphLeast = std::min(
        w[3], folderList->fontMetrics().horizontalAdvance(QStringLiteral("100.0 %")) + 12 + 40);
    const int overflow = others + nameBase - room;
    if (overflow > 0) {
        const int give = std::min(overflow, w[3] - graphLeast);
        w[3] -= give;
        others -= give;
    }
    w[0] = std::max(nameBase, room - others);
    QHeaderView* h = folderList->horizontalHeader();
    fittingColumns_ = true;
    for (int c = 0; c < 6; ++c) {
        const bool pinned = c != 0 && c != 3;
        if (folderList->columnWidth(c) != w[static_cast<size_t>(c)])
            folderList->setColumnWidth(c, w[static_cast<size_t>(c)]);
        h->setSectionResizeMode(c, pinned ? QHeaderView::Fixed : QHeaderView::Interactive);
    }
    if (folderList->columnWidth(kColChange) != changeWidth)
        folderList->setColumnWidth(kColChange, changeWidth);
    h->setSectionResizeMode(kColChange, QHeaderView::Fixed);
    fittingColumns_ = false;
    folderList->viewport()->update();
}

void MainWindow::ShowDriveStatus(const DriveRecord& drive, const FolderList* folders) {
    for (QLabel* p : statusPanels) {
        p->clear();
        p->setToolTip(QString());
    }
    statusPanels[0]->setText(Q(drive.RootPath.substr(0, 1)));
    if (!folders) return;
    statusPanels[1]->setText(Q(drive.VolumeName));
    if (drive.Offline) {
        // Plainly a snapshot: the status bar says so, and its tip says of what.
        statusPanels[1]->setText(IsImportedDrive(drive.RootPath[0]) ? QStringLiteral("取り込み")
                                                                    : QStringLiteral("オフライン"));
        statusPanels[1]->setToolTip(Q(SnapshotText(
            drive, folders->Count() > 0 ? std::string(folders->LineAt(0)) : std::string())));
    }
    statusPanels[2]->setText(QStringLiteral("Total  ") + Q(FormatSizeText(drive.TotalBytes, 0)));
    statusPanels[3]->setText(QStringLiteral("Free  ") + Q(FormatSizeText(drive.FreeBytes, 0)));
    // A folder given a letter has no figures of its own: Total and Free are
    // those of the volume holding it, and the tip names that volume.
    if (!drive.FolderVolume.empty()) {
        const QString tip =
            QStringLiteral("%1 はフォルダです。Total と Free はそれを含むボリューム %2 の値です")
                .arg(Q(drive.RootPath.substr(0, 2)), Q(platform::ShownName(drive.FolderVolume)));
        statusPanels[2]->setToolTip(tip);
        statusPanels[3]->setToolTip(tip);
    }
    if (folders->Count() > 0) {
        const std::string header(folders->LineAt(0));
        statusPanels[4]->setText(QStringLiteral("Snap.  ") + Q(SplitNameValue(header).first));
        statusPanels[5]->setText(QStringLiteral("Lap.  ") + Q(HeaderDuration(header)));
    }
}

namespace {

// The folder given on the command line, in program form ("X:\dir\"): a
// native path, absolute or relative to the folder the program was started
// in (a link to a folder stands for that folder), or a program path. Empty,
// after telling the user why, when it is no folder that can be opened.
std::string StartFolder(const std::string& arg) {
    const std::string shown = platform::DisplayText(arg);
    const char* next = "\n\n起動時のドライブを開きます。";
    auto refuse = [&](const std::string& why) {
        ShowMessageBox(why + next, MB_ICONINFORMATION);
        return std::string();
    };
    std::string path;
    std::string native;
    if (arg.size() >= 2 && arg[1] == ':' && std::isalpha(static_cast<unsigned char>(arg[0]))) {
        path = arg;
        path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        if (path.size() == 2) path += '\\';
        if (path.back() != '\\') path += '\\';
        // A drive that is not here is browsed from its last measurement.
        const DriveRecord* d = Global().Drives.ByLetter(path[0] - 'A');
        if (d && d->Offline) return path;
        platform::ItemPath item;
        if (!platform::CheckProgramPath(path, item))
            return refuse("「" + shown + "」を開けません。ドライブ " + path.substr(0, 2) +
                          " がないか、パスの形が正しくありません。");
        native = item.Native();
    } else {
        native = platform::AbsoluteNativePath(arg);
        if (char* real = ::realpath(native.c_str(), nullptr)) {
            native = real;
            std::free(real);
        }
        if (!platform::ToProgram(native, path))
            return refuse("「" + shown + "」はどのドライブにも含まれないため開けません。");
    }
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0)
        return refuse("フォルダ「" + shown + "」が見つかりません。\n" +
                      platform::SystemReason(errno));
    if (!S_ISDIR(st.st_mode)) return refuse("「" + shown + "」はフォルダではありません。");
    DIR* folder = ::opendir(native.c_str());
    if (!folder)
        return refuse("フォルダ「" + shown + "」を開けません。\n" + platform::SystemReason(errno));
    ::closedir(folder);
    if (path.back() != '\\') path += '\\';
    return path;
}

} // namespace

void MainWindow::onRefreshTimer(bool byTimer) {
    refreshTimer->stop();
    GlobalState& g = Global();
    if (byTimer) FitToScreen();
    if (g.ShowSplash && byTimer) Splash->ShowCentred(this);
    std::string path;
    // A folder given on the command line (as a file manager passes it) is
    // opened on its drive; one that cannot be gives way to the start drive.
    if (!g.StartArgs.empty() && !g.StartArgs.front().empty() && byTimer) {
        path = StartFolder(g.StartArgs.front());
        const DriveRecord* d = path.empty() ? nullptr : g.Drives.ByLetter(path[0] - 'A');
        if (!path.empty() && (!d || !DriveMenuItems[static_cast<size_t>(d->Index)]->isVisible())) {
            ShowMessageBox(
                "「" + platform::DisplayText(g.StartArgs.front()) + "」のドライブ " +
                    path.substr(0, 2) +
                    " は表示されていません（取り外し可能なドライブは 表示 → "
                    "リムーバブルドライブ で表示されます）。\n\n起動時のドライブを開きます。",
                MB_ICONINFORMATION);
            path.clear();
        }
    }
    if (!path.empty()) {
        // the folder given
    } else if (g.StartDrive <= 0) {
        for (int i = 0; i < g.Drives.ListedCount(); ++i) {
            const DriveRecord* d = g.Drives.ListedAt(i);
            if (d->DriveType == 3) {
                path = d->RootPath;
                break;
            }
        }
    } else if (const DriveRecord* d = g.Drives.ByLetter(g.StartDrive - 1)) {
        path = d->RootPath.empty()
                   ? std::string(1, static_cast<char>('A' + g.StartDrive - 1)) + ":\\"
                   : d->RootPath;
    }
    if (path.empty()) return;
    OpenAndMeasure(path, true);
}

} // namespace nrvs
