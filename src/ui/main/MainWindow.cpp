#include "ui/main/MainWindow.h"
#include "ui/WindowLayout.h"

#include "ui/main/MainWindowParts.h"

#include "core/cache/Cache.h"
#include "core/exchange/Ncdu.h"
#include "core/cache/Snapshot.h"
#include "core/measure/Measure.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
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


TFMmain::TFMmain(const StringList& args, QWidget* parent) : QMainWindow(parent) {
    setObjectName("TFMmain");
    LoadParameters(args);
    setWindowTitle(QStringLiteral(" Quorvalix - Norvessa -"));
    setFont(ListFont());
    BuildMenus();
    BuildDriveBar();
    BuildBody();
    BuildToolbar();
    Running = new TFMing(this);
    Progress = new TFMprogress(this);
    Export = new TFMexport(this);
    CreateInfoWindows();
    Rank = new TFMrank(this, Running);
    Rank->OnShowFolder = [this](const std::string& path) {
        OpenPath(path, false);
        LVlist->setFocus();
    };
    Files = new TFMfiles(this);
    Tmap = new TFMtreemap(this);
    Types = new TFMtypes(this);
    Changes = new TFMchanges(this);
    Properties = new TFMprop(this);
    Sim = new TFMsim(this);
    Settings = new TFMset(this);
    MsrDrv = new TFMmsrdrv(this);
    NetConnect = new TFMnetcon(this);
    NetDisconnect = new TFMnetdis(this);
    ConnectCommandStates();
    Splash = new TFMglobal(this);
    TMtimer = new QTimer(this);
    TMtimer->setObjectName("TMtimer");
    TMtimer->setInterval(200);
    TMtimer->setSingleShot(true);
    connect(TMtimer, &QTimer::timeout, this, [this] { TMtimerTimer(true); });
    ApplyGeometry();
    PopupContext = INT_MAX;
    Global().Drives.SetItemsUi(this);
    RefreshDrives(INT_MAX);
}

TFMmain::~TFMmain() {
    // The widgets below go away after this body: their focus and selection
    // changes must not reach a half-destroyed window.
    disconnect(qApp, nullptr, this, nullptr);
    if (LVlist->selectionModel()) disconnect(LVlist->selectionModel(), nullptr, this, nullptr);
    disconnect(TVtree, nullptr, this, nullptr);
    Global().Drives.SetItemsUi(nullptr);
}

const RowList& TFMmain::Rows() const { return model_->Rows(); }

// ---------------------------------------------------------------- layout

void TFMmain::BuildMenus() {
    QMenuBar* bar = menuBar();
    MMprc = bar->addMenu(QStringLiteral("操作(&A)"));
    MMprc->setObjectName("MMprc");
    MMprcdrv = MakeAction(this, "MMprcdrv", QStringLiteral("ドライブ"), -1);
    MMprcdrv->setVisible(false);
    MMprc->addAction(MMprcdrv);
    MMprc->addSeparator()->setObjectName("MMprc1");
    MMprcnon = MakeAction(this, "MMprcnon", QStringLiteral("ネットワーク接続(&O)..."), 27);
    MMprcnof = MakeAction(this, "MMprcnof", QStringLiteral("ネットワーク切断(&N)..."), 28);
    MMprc->addAction(MMprcnon);
    MMprc->addAction(MMprcnof);
    MMprc->addSeparator()->setObjectName("MMprc3");
    MMprcimp = MakeAction(this, "MMprcimp", QStringLiteral("スキャンの取り込み(&I)..."), -1);
    MMprcimp->setToolTip(QStringLiteral("ncdu -o や gdu -o で書き出したスキャンを、空いているドライブ文字として開きます"));
    MMprcexn = MakeAction(this, "MMprcexn", QStringLiteral("ncdu 形式で書き出し(&J)..."), -1);
    MMprcexn->setToolTip(QStringLiteral("表示中のフォルダの計測結果を ncdu -f や gdu -f で開ける形式で書き出します"));
    MMprc->addAction(MMprcimp);
    MMprc->addAction(MMprcexn);
    MMprc->addSeparator()->setObjectName("MMprc2");
    MMprcend = MakeAction(this, "MMprcend", QStringLiteral("Norvessa 終了(&Q)"), -1, QKeySequence(QStringLiteral("Ctrl+Q")));
    MMprc->addAction(MMprcend);

    MMmes = bar->addMenu(QStringLiteral("計測(&M)"));
    MMmes->setObjectName("MMmes");
    MMmesdrv = MakeAction(this, "MMmesdrv", QStringLiteral("ドライブ(&D)..."), 11, QKeySequence(QStringLiteral("Ctrl+D")));
    MMmesfld = MakeAction(this, "MMmesfld", QStringLiteral("フォルダ(&F)..."), 12, QKeySequence(QStringLiteral("Ctrl+F")));
    MMmesrnk = MakeAction(this, "MMmesrnk", QStringLiteral("ランキング(&R)..."), 13, QKeySequence(QStringLiteral("Ctrl+R")));
    MMmessim = MakeAction(this, "MMmessim", QStringLiteral("シミュレーション(&S)..."), 14, QKeySequence(QStringLiteral("Ctrl+S")));
    MMmes->addAction(MMmesdrv);
    MMmes->addAction(MMmesfld);
    MMmes->addSeparator()->setObjectName("MMmes1");
    MMmes->addAction(MMmesrnk);
    MMmes->addAction(MMmessim);
    MMmeschg = MakeAction(this, "MMmeschg", QStringLiteral("変化(&G)..."), -1, QKeySequence(QStringLiteral("Ctrl+G")));
    MMmeschg->setIcon(ChangesIcon());
    MMmes->addAction(MMmeschg);
    connect(MMmeschg, &QAction::triggered, this, &TFMmain::MMmeschgClick);

    MMviw = bar->addMenu(QStringLiteral("表示(&V)"));
    MMviw->setObjectName("MMviw");
    MMviwdif = MakeAction(this, "MMviwdif", QStringLiteral("ドライブ情報(&I)..."), 36, QKeySequence(QStringLiteral("Ctrl+I")));
    MMviwrem = MakeAction(this, "MMviwrem", QStringLiteral("リムーバブルドライブ(&R)"), 19);
    MMviwlst = MakeAction(this, "MMviwlst", QStringLiteral("ファイルリスト(&F)"), 9);
    MMviwnme = MakeAction(this, "MMviwnme", QStringLiteral("名前順(&N)"), 21);
    MMviwcap = MakeAction(this, "MMviwcap", QStringLiteral("容量順(&C)"), 22);
    MMviwupp = MakeAction(this, "MMviwupp", QStringLiteral("昇順(&U)"), 23);
    MMviwdwn = MakeAction(this, "MMviwdwn", QStringLiteral("降順(&D)"), 24);
    MMviwpty = MakeAction(this, "MMviwpty", QStringLiteral("プロパティ(&P)..."), 26, QKeySequence(QStringLiteral("Ctrl+P")));
    for (QAction* a : {MMviwrem, MMviwlst, MMviwnme, MMviwcap, MMviwupp, MMviwdwn}) a->setCheckable(true);
    MMviw->addAction(MMviwdif);
    MMviwtmp = MakeAction(this, "MMviwtmp", QStringLiteral("ツリーマップ(&T)..."), -1, QKeySequence(QStringLiteral("Ctrl+T")));
    MMviwtmp->setIcon(TreemapIcon());
    MMviw->addAction(MMviwtmp);
    connect(MMviwtmp, &QAction::triggered, this, &TFMmain::MMviwtmpClick);
    MMviw->addSeparator()->setObjectName("MMviw1");
    MMviw->addAction(MMviwrem);
    MMviw->addAction(MMviwlst);
    MMviw->addSeparator()->setObjectName("MMviw2");
    MMviw->addAction(MMviwnme);
    MMviw->addAction(MMviwcap);
    MMviw->addAction(MMviwupp);
    MMviw->addAction(MMviwdwn);
    MMviw->addSeparator()->setObjectName("MMviw3");
    MMviw->addAction(MMviwpty);

    MMtol = bar->addMenu(QStringLiteral("ツール(&T)"));
    MMtol->setObjectName("MMtol");
    MMtoletr = MakeAction(this, "MMtoletr", QStringLiteral("エクスポート(&X)..."), 29);
    MMtolsrc = MakeAction(this, "MMtolsrc", QStringLiteral("検索(&K)..."), 18, QKeySequence(QStringLiteral("Ctrl+K")));
    MMtolbig = MakeAction(this, "MMtolbig", QStringLiteral("大きいファイル(&B)..."), 9, QKeySequence(QStringLiteral("Ctrl+B")));
    MMtoltyp = MakeAction(this, "MMtoltyp", QStringLiteral("ファイルの種類(&Y)..."), -1, QKeySequence(QStringLiteral("Ctrl+Y")));
    MMtoltyp->setIcon(TypesIcon());
    MMtolcpy = MakeAction(this, "MMtolcpy", QStringLiteral("コピー(&C)..."), 15, QKeySequence(QStringLiteral("Ctrl+C")));
    MMtolcpy->setData(1);
    MMtolmov = MakeAction(this, "MMtolmov", QStringLiteral("移動(&M)..."), 16, QKeySequence(QStringLiteral("Ctrl+M")));
    MMtolmov->setData(0);
    MMtoldel = MakeAction(this, "MMtoldel", QStringLiteral("削除(&D)"), 17, QKeySequence(Qt::Key_Delete));
    MMtolexp = MakeAction(this, "MMtolexp", QStringLiteral("エクスプローラ(&E)..."), 31, QKeySequence(QStringLiteral("Ctrl+E")));
    MMtolapp = MakeAction(this, "MMtolapp", QStringLiteral("アプリケーション(&A)..."), 32);
    MMtolcln = MakeAction(this, "MMtolcln", QStringLiteral("クリーンアップ(&P)..."), 33);
    MMtoldfg = MakeAction(this, "MMtoldfg", QStringLiteral("デフラグ(&G)..."), 34);
    MMtolfmt = MakeAction(this, "MMtolfmt", QStringLiteral("フォーマット(&F)..."), 35);
    MMtolset = MakeAction(this, "MMtolset", QStringLiteral("設定(&U)..."), -1, QKeySequence(QStringLiteral("Ctrl+U")));
    MMtol->addAction(MMtoletr);
    MMtol->addAction(MMtolsrc);
    MMtol->addAction(MMtolbig);
    MMtol->addAction(MMtoltyp);
    MMtol->addSeparator()->setObjectName("MMtol1");
    MMtol->addAction(MMtolcpy);
    MMtol->addAction(MMtolmov);
    MMtol->addAction(MMtoldel);
    MMtol->addSeparator()->setObjectName("MMtol2");
    for (QAction* a : {MMtolexp, MMtolapp, MMtolcln, MMtoldfg, MMtolfmt}) MMtol->addAction(a);
    MMtol->addSeparator()->setObjectName("MMtol3");
    MMtol->addAction(MMtolset);

    MMwin = bar->addMenu(QStringLiteral("ウインドウ(&W)"));
    MMwin->setObjectName("MMwin");
    MMwindmn = MakeAction(this, "MMwindmn", QStringLiteral("ドライブモニタ(&V)..."), 37, QKeySequence(QStringLiteral("Ctrl+V")));
    MMwinfmn = MakeAction(this, "MMwinfmn", QStringLiteral("フォルダモニタ(&L)..."), -1, QKeySequence(QStringLiteral("Ctrl+L")));
    MMwinfmn->setVisible(false);
    MMwin->addAction(MMwindmn);
    MMwin->addSeparator()->setObjectName("MMwin1");
    MMwin->addAction(MMwinfmn);
    MMwin->addSeparator()->setObjectName("MMwin2");

    MMhlp = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    MMhlp->setObjectName("MMhlp");
    MMhlphlp = MakeAction(this, "MMhlphlp", QStringLiteral("Norvessa ヘルプ(&H)..."), 39, QKeySequence(Qt::Key_F1));
    MMhlpwww = MakeAction(this, "MMhlpwww", QStringLiteral("norvessa.example.org (&W)..."), 40, QKeySequence(QStringLiteral("Ctrl+W")));
    MMhlpver = MakeAction(this, "MMhlpver", QStringLiteral("バージョン情報(&V)..."), -1);
    MMhlp->addAction(MMhlphlp);
    MMhlp->addSeparator()->setObjectName("MMhlp11");
    MMhlp->addAction(MMhlpwww);
    MMhlp->addSeparator()->setObjectName("MMhlp2");
    MMhlp->addAction(MMhlpver);

    // Commands that other windows will bring are shown but not yet offered.
    connect(MMtolset, &QAction::triggered, this, &TFMmain::MMtolsetClick);
    connect(MMtolsrc, &QAction::triggered, this, &TFMmain::MMtolsrcClick);
    connect(MMtolbig, &QAction::triggered, this, &TFMmain::MMtolbigClick);
    connect(MMtoltyp, &QAction::triggered, this, &TFMmain::MMtoltypClick);
    connect(MMmessim, &QAction::triggered, this, &TFMmain::MMmessimClick);
    MMviwref = MakeAction(this, "MMviwref", QStringLiteral("最新の情報に更新"), -1, QKeySequence(Qt::Key_F5));
    addAction(MMviwref);
    connect(MMviwref, &QAction::triggered, this, &TFMmain::RefreshFromDisk);
    connect(MMprcnon, &QAction::triggered, this, &TFMmain::MMprcnonClick);
    connect(MMprcimp, &QAction::triggered, this, &TFMmain::MMprcimpClick);
    connect(MMprcexn, &QAction::triggered, this, &TFMmain::MMprcexnClick);
    connect(MMprcnof, &QAction::triggered, this, &TFMmain::MMprcnofClick);
    connect(MMviwpty, &QAction::triggered, this, &TFMmain::MMviwptyClick);
    connect(MMtolcpy, &QAction::triggered, this, [this] { MMtolcpyClick(1); });
    connect(MMtolmov, &QAction::triggered, this, [this] { MMtolcpyClick(0); });
    connect(MMtoldel, &QAction::triggered, this, &TFMmain::MMtoldelClick);
    connect(MMtolexp, &QAction::triggered, this, &TFMmain::MMtolexpClick);
    connect(MMtolapp, &QAction::triggered, this, &TFMmain::MMtolappClick);
    connect(MMtolcln, &QAction::triggered, this, &TFMmain::MMtolclnClick);
    connect(MMtoldfg, &QAction::triggered, this, &TFMmain::MMtoldfgClick);
    connect(MMtolfmt, &QAction::triggered, this, &TFMmain::MMtolfmtClick);
    connect(MMhlphlp, &QAction::triggered, this, &TFMmain::MMhlphlpClick);
    connect(MMhlpwww, &QAction::triggered, this, &TFMmain::MMhlpwwwClick);

    connect(MMprcend, &QAction::triggered, this, &TFMmain::MMprcendClick);
    connect(MMmesdrv, &QAction::triggered, this, &TFMmain::MMmesdrvClick);
    connect(MMmesfld, &QAction::triggered, this, &TFMmain::MMmesfldClick);
    connect(MMmesrnk, &QAction::triggered, this, &TFMmain::MMmesrnkClick);
    connect(MMviwrem, &QAction::triggered, this, &TFMmain::MMviwremClick);
    connect(MMviwlst, &QAction::triggered, this, &TFMmain::MMviwlstClick);
    connect(MMviwnme, &QAction::triggered, this, [this] { SetSort(0, -1); });
    connect(MMviwcap, &QAction::triggered, this, [this] { SetSort(1, -1); });
    connect(MMviwupp, &QAction::triggered, this, [this] { SetSort(-1, 0); });
    connect(MMviwdwn, &QAction::triggered, this, [this] { SetSort(-1, 1); });

    PMpop = new QMenu(this);
    PMpop->setObjectName("PMpop");
    PMviwinf = MakeAction(this, "PMviwinf", QStringLiteral("ドライブ情報(&I)"), 36);
    PMtolexp = MakeAction(this, "PMtolexp", QStringLiteral("エクスプローラ(&E)..."), 31);
    PMtolapp = MakeAction(this, "PMtolapp", QStringLiteral("アプリケーション(&A)..."), 32);
    PMtolcln = MakeAction(this, "PMtolcln", QStringLiteral("クリーンアップ(&P)..."), 33);
    PMtoldfg = MakeAction(this, "PMtoldfg", QStringLiteral("デフラグ(&G)..."), 34);
    PMtolfmt = MakeAction(this, "PMtolfmt", QStringLiteral("フォーマット(&F)..."), 35);
    PMtolcpy = MakeAction(this, "PMtolcpy", QStringLiteral("コピー(&C)..."), 15);
    PMtolcpy->setData(1);
    PMtolmov = MakeAction(this, "PMtolmov", QStringLiteral("移動(&M)..."), 16);
    PMtoldel = MakeAction(this, "PMtoldel", QStringLiteral("削除(&D)"), 17);
    PMviwpty = MakeAction(this, "PMviwpty", QStringLiteral("プロパティ(&P)..."), 26);
    PMpop->addAction(PMviwinf);
    PMpop->addSeparator()->setObjectName("PM1");
    for (QAction* a : {PMtolexp, PMtolapp, PMtolcln, PMtoldfg, PMtolfmt}) PMpop->addAction(a);
    PMpop->addSeparator()->setObjectName("PM2");
    for (QAction* a : {PMtolcpy, PMtolmov, PMtoldel}) PMpop->addAction(a);
    PMpop->addSeparator()->setObjectName("PM3");
    PMpop->addAction(PMviwpty);
    connect(PMpop, &QMenu::aboutToShow, this, &TFMmain::PMpopPopup);
    // Each popup item runs the main-menu command of its name.
    connect(PMviwinf, &QAction::triggered, MMviwdif, &QAction::trigger);
    connect(PMtolexp, &QAction::triggered, this, &TFMmain::MMtolexpClick);
    connect(PMtolapp, &QAction::triggered, this, &TFMmain::MMtolappClick);
    connect(PMtolcln, &QAction::triggered, this, &TFMmain::MMtolclnClick);
    connect(PMtoldfg, &QAction::triggered, this, &TFMmain::MMtoldfgClick);
    connect(PMtolfmt, &QAction::triggered, this, &TFMmain::MMtolfmtClick);
    connect(PMtolcpy, &QAction::triggered, this, [this] { MMtolcpyClick(1); });
    connect(PMtolmov, &QAction::triggered, this, [this] { MMtolcpyClick(0); });
    connect(PMtoldel, &QAction::triggered, this, &TFMmain::MMtoldelClick);
    connect(PMviwpty, &QAction::triggered, this, &TFMmain::MMviwptyClick);
}

void TFMmain::BuildToolbar() {
    TBtool = new QToolBar(PLtool);
    TBtool->setObjectName("TBtool");
    TBtool->setIconSize(QSize(16, 16));
    TBtool->setMovable(false);
    TBtool->setFloatable(false);
    TBtool->setStyleSheet(QStringLiteral("QToolBar { border: 0px; spacing: 0px; }"));
    auto* layout = new QVBoxLayout(PLtool);
    layout->setContentsMargins(0, 2, 0, 0);
    layout->addWidget(TBtool);
    auto button = [this](const char* name, int image, const QString& hint) {
        QAction* a = MakeAction(this, name, QString(), image);
        a->setToolTip(hint);
        TBtool->addAction(a);
        return a;
    };
    BBmesdrv = button("BBmesdrv", 11, QStringLiteral("ドライブ容量の計測"));
    BBmesfld = button("BBmesfld", 12, QStringLiteral("フォルダ容量の計測"));
    BBmesrnk = button("BBmesrnk", 13, QStringLiteral("フォルダのランキング"));
    BBmessim = button("BBmessim", 14, QStringLiteral("容量のシミュレーション"));
    BBmeschg = button("BBmeschg", -1, QStringLiteral("前回の計測からの変化"));
    BBmeschg->setIcon(ChangesIcon());
    connect(BBmeschg, &QAction::triggered, this, &TFMmain::MMmeschgClick);
    BBviwtmp = button("BBviwtmp", -1, QStringLiteral("ツリーマップ"));
    BBviwtmp->setIcon(TreemapIcon());
    connect(BBviwtmp, &QAction::triggered, this, &TFMmain::MMviwtmpClick);
    TBtool->addSeparator()->setObjectName("BB1");
    BBviwrem = button("BBviwrem", 19, QStringLiteral("リムーバブルメディアの表示"));
    BBviwlst = button("BBviwlst", 9, QStringLiteral("ファイルリストの表示"));
    BBviwnme = button("BBviwnme", 21, QStringLiteral("名前順で表示"));
    BBviwcap = button("BBviwcap", 22, QStringLiteral("容量順で表示"));
    BBviwupp = button("BBviwupp", 23, QStringLiteral("昇順で表示"));
    BBviwdwn = button("BBviwdwn", 24, QStringLiteral("降順で表示"));
    TBtool->addSeparator()->setObjectName("BB3");
    BBtolsrc = button("BBtolsrc", 18, QStringLiteral("フォルダ／ファイルの検索"));
    BBtolbig = button("BBtolbig", 9, QStringLiteral("大きいファイル"));
    BBtoltyp = button("BBtoltyp", -1, QStringLiteral("ファイルの種類"));
    BBtoltyp->setIcon(TypesIcon());
    connect(BBtolsrc, &QAction::triggered, this, &TFMmain::MMtolsrcClick);
    connect(BBtolbig, &QAction::triggered, this, &TFMmain::MMtolbigClick);
    connect(BBtoltyp, &QAction::triggered, this, &TFMmain::MMtoltypClick);
    BBtoletr = button("BBtoletr", 29, QStringLiteral("情報のエクスポート"));
    BBtolexp = button("BBtolexp", 31, QStringLiteral("エクスプローラを起動"));
    TBtool->addSeparator()->setObjectName("BB4");
    BBhlphlp = button("BBhlphlp", 39, QStringLiteral("ヘルプ"));
    BBhlpwww = button("BBhlpwww", 40, QStringLiteral("サポートウェブページ"));
    for (QAction* a : {BBviwrem, BBviwlst, BBviwnme, BBviwcap, BBviwupp, BBviwdwn}) a->setCheckable(true);
    connect(BBmessim, &QAction::triggered, this, &TFMmain::MMmessimClick);
    connect(BBtolexp, &QAction::triggered, this, &TFMmain::MMtolexpClick);
    connect(BBhlphlp, &QAction::triggered, this, &TFMmain::MMhlphlpClick);
    connect(BBhlpwww, &QAction::triggered, this, &TFMmain::MMhlpwwwClick);
    connect(BBmesdrv, &QAction::triggered, this, &TFMmain::MMmesdrvClick);
    connect(BBmesfld, &QAction::triggered, this, &TFMmain::MMmesfldClick);
    connect(BBmesrnk, &QAction::triggered, this, &TFMmain::MMmesrnkClick);
    connect(BBviwrem, &QAction::triggered, this, &TFMmain::MMviwremClick);
    connect(BBviwlst, &QAction::triggered, this, &TFMmain::MMviwlstClick);
    connect(BBviwnme, &QAction::triggered, this, [this] { SetSort(0, -1); });
    connect(BBviwcap, &QAction::triggered, this, [this] { SetSort(1, -1); });
    connect(BBviwupp, &QAction::triggered, this, [this] { SetSort(-1, 0); });
    connect(BBviwdwn, &QAction::triggered, this, [this] { SetSort(-1, 1); });
}

void TFMmain::BuildDriveBar() {
    PLdrv = new QWidget(this);
    PLdrv->setObjectName("PLdrv");
    PLdrv->setFixedWidth(36);
    IMdrv = new QLabel(PLdrv);
    IMdrv->setObjectName("IMdrv");
    IMdrv->setGeometry(12, 7, 12, 12);
    for (int n = 0; n < 26; ++n) {
        const QString letter = QString(QChar('A' + n));
        auto* item = new QAction(letter, this);
        item->setObjectName(QStringLiteral("MMprcdrv%1").arg(letter));
        item->setCheckable(true);
        item->setVisible(false);
        MMprc->insertAction(MMprcdrv, item);
        connect(item, &QAction::triggered, this, [this, item] { SelectDrive(item->data().toInt()); });
        DriveMenuItems[static_cast<size_t>(n)] = item;

        auto* b = new QToolButton(PLdrv);
        b->setObjectName(QStringLiteral("BBdrv%1").arg(letter));
        b->setText(letter);
        b->setAutoRaise(true);
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(16, 16));
        b->setGeometry(1, 26, 33, 24);
        b->setVisible(false);
        b->installEventFilter(this);
        connect(b, &QToolButton::clicked, this, [this, b] { SelectDrive(b->property("tag").toInt()); });
        DriveButtons[static_cast<size_t>(n)] = b;
    }
}

void TFMmain::BuildBody() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* bevel = new QFrame(central);
    bevel->setObjectName("BVtop");
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setFixedHeight(2);
    outer->addWidget(bevel);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    outer->addLayout(row, 1);
    row->addWidget(PLdrv);
    PLclient = new QWidget(central);
    PLclient->setObjectName("PLclient");
    row->addWidget(PLclient, 1);
    auto* client = new QVBoxLayout(PLclient);
    client->setContentsMargins(0, 0, 0, 0);
    client->setSpacing(0);
    PLtool = new QWidget(PLclient);
    PLtool->setObjectName("PLtool");
    PLtool->setFixedHeight(26);
    client->addWidget(PLtool);
    PLbase = new QSplitter(Qt::Horizontal, PLclient);
    PLbase->setObjectName("PLbase");
    PLbase->setHandleWidth(3);
    PLbase->setChildrenCollapsible(false);
    client->addWidget(PLbase, 1);

    TVtree = new FolderTree(PLbase);
    TVtree->setObjectName("TVtree");
    TVtree->setHeaderHidden(true);
    TVtree->setRootIsDecorated(true);
    TVtree->setIndentation(19);
    TVtree->setIconSize(QSize(16, 16));
    TVtree->setSortingEnabled(true);
    TVtree->sortByColumn(0, Qt::AscendingOrder);
    TVtree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TVtree->setContextMenuPolicy(Qt::NoContextMenu);
    TVtree->viewport()->installEventFilter(this);
    TVtree->installEventFilter(this);
    connect(TVtree, &QTreeWidget::itemClicked, this, [this] { TVtreeClick(); });
    connect(TVtree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        // The root's level is refilled in place rather than rebuilding the
        // tree from inside its own expansion.
        FillTreeLevel(node);
    });

    model_ = new RowModel(this);
    LVlist = new QTableView(PLbase);
    LVlist->setObjectName("LVlist");
    LVlist->setProperty("tag", 2);
    LVlist->setModel(model_);
    LVlist->setFont(ListFont());
    LVlist->setShowGrid(false);
    LVlist->setWordWrap(false);
    LVlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVlist->setSelectionMode(QAbstractItemView::SingleSelection);
    LVlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LVlist->setIconSize(QSize(16, 16));
    LVlist->verticalHeader()->hide();
    LVlist->verticalHeader()->setDefaultSectionSize(QFontMetrics(ListFont()).height() + 6);
    LVlist->horizontalHeader()->setHighlightSections(false);
    LVlist->horizontalHeader()->setSectionsClickable(true);
    LVlist->horizontalHeader()->setMinimumSectionSize(0);
    LVlist->horizontalHeader()->setStretchLastSection(false);
    LVlist->setItemDelegate(new ListCellDelegate([this] { return PercentBaseValue; }, LVlist));
    LVlist->setContextMenuPolicy(Qt::NoContextMenu);
    LVlist->viewport()->installEventFilter(this);
    LVlist->installEventFilter(this);
    connect(LVlist->horizontalHeader(), &QHeaderView::sectionClicked, this, &TFMmain::LVlistColumnClick);
    // The name column's width the user chose is the least it gets.
    connect(LVlist->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == 0 && !fittingColumns_ && size > 0) Global().NameColumnWidth = size;
    });
    connect(LVlist, &QTableView::doubleClicked, this, [this] { LVlistDblClick(); });
    connect(PLbase, &QSplitter::splitterMoved, this, [this] {
        TVtree->viewport()->update();
        LVlist->viewport()->update();
    });
    PLbase->addWidget(TVtree);
    PLbase->addWidget(LVlist);
    PLbase->setStretchFactor(1, 1);
    setCentralWidget(central);

    static const int widths[7] = {20, 100, 100, 100, 170, 90, 50};
    // The longest texts the panels show; a font wider than the design's
    // widens its panel rather than cutting the text.
    static const char* const widest[7] = {"W", "", "Total  999.99 MB", "Free  999.99 MB", "Snap.  0000/00/00 00:00:00",
                                          "Lap.  00:00:00", ""};
    statusBar()->setObjectName("SBsts");
    statusBar()->setSizeGripEnabled(false);
    for (int i = 0; i < 7; ++i) {
        auto* p = new QLabel(statusBar());
        p->setObjectName(QStringLiteral("SBsts%1").arg(i));
        p->setAlignment(Qt::AlignCenter);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        const int text = p->fontMetrics().horizontalAdvance(QString::fromUtf8(widest[i]));
        p->setFixedWidth(std::max(widths[i], text + 2 * p->frameWidth() + 8));
        statusBar()->addWidget(p);
        SBpanels[static_cast<size_t>(i)] = p;
    }
    setMinimumSize(MinimumWindowSize());
}

QSize TFMmain::MinimumWindowSize() const {
    // Narrower than its status bar, the window would lay the panels over one
    // another; the status bar's own layout knows their widths and spacing.
    int width = 0;
    for (const QLabel* p : SBpanels) width += p->width() + 6;
    if (const QLayout* l = statusBar()->layout()) width = std::max(width, l->minimumSize().width());
    // Menu, toolbar and status bar with a few rows of tree and list between.
    const int rows = 6 * (QFontMetrics(ListFont()).height() + 6);
    const int height = menuBar()->sizeHint().height() + 2 + 26 + rows + statusBar()->sizeHint().height();
    return {width, height};
}

QRect TFMmain::FitFrame(const QRect& frame, const QRect& available) { return FitRect(frame, available); }

QScreen* TFMmain::ScreenOf(const QRect& frame) { return ScreenHolding(frame); }

void TFMmain::FitToScreen(const QRect& frame, const QMargins& margins) {
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

QMargins TFMmain::FrameMargins() const {
    const QRect f = frameGeometry();
    const QRect c = geometry();
    return {c.left() - f.left(), c.top() - f.top(), f.right() - c.right(), f.bottom() - c.bottom()};
}

void TFMmain::FitToScreen() {
    if (isMaximized() || isFullScreen() || isMinimized()) return;
    FitToScreen(frameGeometry(), FrameMargins());
}

void TFMmain::ApplyGeometry() {
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
    PLbase->setSizes({g.TreeWidth, std::max(1, g.MainWidth - g.TreeWidth)});
    LVlist->setColumnWidth(0, g.NameColumnWidth);
    LVlist->setColumnWidth(3, g.GraphColumnWidth);
}

void TFMmain::StoreGeometry() {
    GlobalState& g = Global();
    // The frame's position and the client's size, as move() and resize()
    // take them back at the next start.
    QRect frame(pos(), size());
    if (isMaximized() || isFullScreen() || isMinimized()) {
        const QRect normal = normalGeometry();
        const QMargins m = FrameMargins();
        if (normal.isValid()) frame = QRect(normal.topLeft() - QPoint(m.left(), m.top()), normal.size());
    }
    g.MainWidth = frame.width();
    g.MainHeight = frame.height();
    g.MainLeft = frame.left();
    g.MainTop = frame.top();
    g.TreeWidth = TVtree->width();
    g.GraphColumnWidth = LVlist->columnWidth(3);
}

void TFMmain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (started_) return;
    started_ = true;
    RefreshControls();
    FitColumns();
    TMtimer->start();
}

void TFMmain::closeEvent(QCloseEvent* event) {
    if (!saved_) {
        StoreGeometry();
        if (!SaveParameters()) TellSaveFailed(Global().ParamFileName);
        saved_ = true;
    }
    CloseMonitors();
    event->accept();
}

void TFMmain::SetDriveLamp(int image) {
    IMdrv->setPixmap(LampPixmap(image));
    IMdrv->setProperty("lamp", image);
    IMdrv->repaint();
}

void TFMmain::ShowItem(const DriveRecord& record, int listedPos) {
    const size_t n = static_cast<size_t>(record.Index);
    QAction* item = DriveMenuItems[n];
    const QString offline = record.Offline ? QStringLiteral("  [オフライン]") : QString();
    item->setText(QString(QChar('A' + record.Index)) + QStringLiteral("  ") + Q(record.VolumeName) + offline);
    item->setIcon(ImageIcon(static_cast<int>(record.Category)));
    item->setData(listedPos);
    item->setVisible(true);
    QToolButton* b = DriveButtons[n];
    b->setToolTip(record.Offline ? Q(record.VolumeName) + QStringLiteral("\n") + Q(SnapshotText(record, CacheHeaderLine(record)))
                                 : Q(record.VolumeName));
    b->setIcon(ImageIcon(static_cast<int>(record.Category)));
    b->setProperty("tag", listedPos);
    b->move(1, listedPos * 24 + 26);
    b->setVisible(true);
}

void TFMmain::HideItem(const DriveRecord& record) {
    const size_t n = static_cast<size_t>(record.Index);
    if (n >= 26) return;
    DriveMenuItems[n]->setVisible(false);
    DriveButtons[n]->setVisible(false);
}

void TFMmain::RefreshControls() {
    QApplication::processEvents();
    GlobalState& g = Global();
    const DriveRecord* cur = g.CurrentDrive;
    const bool ready = cur && cur->Ready;
    PLtool->setEnabled(ready);
    MMviwrem->setChecked(g.ShowRemovable);
    BBviwrem->setChecked(g.ShowRemovable);
    MMviwlst->setChecked(g.ShowFiles);
    BBviwlst->setChecked(g.ShowFiles);
    PLdrv->setFixedWidth(DigitAt(g.BarFlags, 0) != 0 ? 36 : 2);
    PLtool->setVisible(DigitAt(g.BarFlags, 1) != 0);
    statusBar()->setVisible(DigitAt(g.BarFlags, 2) != 0);
    MMviwnme->setChecked(g.SortKey == 0);
    BBviwnme->setChecked(g.SortKey == 0);
    MMviwcap->setChecked(g.SortKey == 1);
    BBviwcap->setChecked(g.SortKey == 1);
    MMviwupp->setChecked(g.SortDescending == 0);
    BBviwupp->setChecked(g.SortDescending == 0);
    MMviwdwn->setChecked(g.SortDescending == 1);
    BBviwdwn->setChecked(g.SortDescending == 1);
    for (int n = 0; n < 26; ++n) {
        const bool current = cur && cur->Index == n;
        DriveMenuItems[static_cast<size_t>(n)]->setChecked(current);
        if (current) DriveButtons[static_cast<size_t>(n)]->setChecked(true);
    }
    UpdateCommandStates();
    model_->SetSortImages(g.SortKey == 1 ? 25 : g.SortDescending == 1 ? 24 : 23,
                          g.SortKey == 0 ? 25 : g.SortDescending == 1 ? 24 : 23);
    QApplication::processEvents();
}

void TFMmain::FitColumns() {
    GlobalState& g = Global();
    QFont f = LVlist->font();
    int p = f.pointSize() > 0 ? f.pointSize() : 9;
    std::array<int, 6> w = ColumnWidths(model_->Rows(), p, g.SizeUnit, g.ColumnFlags, LVlist->columnWidth(0),
                                        LVlist->columnWidth(3));
    // The name column takes the room the other columns leave, never less
    // than the width the user gave it.
    // The 増減 column is switched on like the others, in the settings.
    const int changeWidth = DigitAt(g.ColumnFlags, 4) == 1 ? p * 130 / 9 : 0;
    int others = changeWidth;
    for (int c = 1; c < 6; ++c) others += w[static_cast<size_t>(c)];
    const int nameBase = g.NameColumnWidth > 0 ? g.NameColumnWidth : 150;
    w[0] = std::max(nameBase, LVlist->viewport()->width() - others);
    QHeaderView* h = LVlist->horizontalHeader();
    fittingColumns_ = true;
    for (int c = 0; c < 6; ++c) {
        const bool pinned = c != 0 && c != 3;
        if (LVlist->columnWidth(c) != w[static_cast<size_t>(c)]) LVlist->setColumnWidth(c, w[static_cast<size_t>(c)]);
        h->setSectionResizeMode(c, pinned ? QHeaderView::Fixed : QHeaderView::Interactive);
    }
    if (LVlist->columnWidth(kColChange) != changeWidth) LVlist->setColumnWidth(kColChange, changeWidth);
    h->setSectionResizeMode(kColChange, QHeaderView::Fixed);
    fittingColumns_ = false;
    LVlist->viewport()->update();
}

void TFMmain::ShowDriveStatus(const DriveRecord& drive, const FolderList* folders) {
    for (QLabel* p : SBpanels) p->clear();
    SBpanels[0]->setText(Q(drive.RootPath.substr(0, 1)));
    if (!folders) return;
    SBpanels[1]->setText(Q(drive.VolumeName));
    SBpanels[1]->setToolTip(QString());
    if (drive.Offline) {
        // Plainly a snapshot: the status bar says so, and its tip says of what.
        SBpanels[1]->setText(IsImportedDrive(drive.RootPath[0]) ? QStringLiteral("取り込み") : QStringLiteral("オフライン"));
        SBpanels[1]->setToolTip(Q(SnapshotText(drive, folders->Count() > 0 ? std::string(folders->LineAt(0)) : std::string())));
    }
    SBpanels[2]->setText(QStringLiteral("Total  ") + Q(FormatSizeText(drive.TotalBytes, 0)));
    SBpanels[3]->setText(QStringLiteral("Free  ") + Q(FormatSizeText(drive.FreeBytes, 0)));
    if (folders->Count() > 0) {
        auto [date, lap] = SplitNameValue(std::string(folders->LineAt(0)));
        SBpanels[4]->setText(QStringLiteral("Snap.  ") + Q(date));
        SBpanels[5]->setText(QStringLiteral("Lap.  ") + Q(lap));
    }
}

void TFMmain::TMtimerTimer(bool byTimer) {
    TMtimer->stop();
    GlobalState& g = Global();
    if (byTimer) FitToScreen();
    if (g.ShowSplash && byTimer) Splash->ShowCentred(this);
    std::string path;
    if (!g.StartArgs.empty() && byTimer) {
        path = g.StartArgs.front();
        // A native folder (as a file manager passes it) is taken in its
        // drive's program form.
        if (!path.empty() && path.front() == '/') {
            std::string program;
            path = platform::ToProgram(path, program) ? program : std::string();
        }
    } else if (g.StartDrive <= 0) {
        for (int i = 0; i < g.Drives.ListedCount(); ++i) {
            const DriveRecord* d = g.Drives.ListedAt(i);
            if (d->DriveType == 3) {
                path = d->RootPath;
                break;
            }
        }
    } else if (const DriveRecord* d = g.Drives.ByLetter(g.StartDrive - 1)) {
        path = d->RootPath.empty() ? std::string(1, static_cast<char>('A' + g.StartDrive - 1)) + ":\\" : d->RootPath;
    }
    if (path.empty()) return;
    OpenPath(path, true);
    if (ShouldMeasure(RowsShowUnmeasured(model_->Rows()), std::time(nullptr))) MMmesdrvClick();
}

} // namespace nrvs
