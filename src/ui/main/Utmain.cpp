#include "ui/main/Utmain.h"

#include "core/Cache.h"
#include "core/Measure.h"
#include "core/Utglobal.h"
#include "lib/Sdirlist.h"
#include "platform/Ppath.h"
#include "ui/main/Uicells.h"
#include "ui/main/Uiimages.h"
#include "ui/main/Urowmodel.h"
#include "ui/main/Utglobal.h"
#include "ui/running/Sluting.h"

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

namespace {

// Node data: the folder's name as the lister gave it (bytes kept exactly).
constexpr int kNameRole = Qt::UserRole + 7;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Tree nodes sort as the desktop sorts names: case ignored.
class TreeItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        int c = text(0).compare(other.text(0), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : text(0) < other.text(0);
    }
};

QAction* MakeAction(QObject* parent, const char* name, const QString& caption, int image,
                    const QKeySequence& shortcut = {}) {
    auto* a = new QAction(caption, parent);
    a->setObjectName(QString::fromLatin1(name));
    if (image >= 0) a->setIcon(ImageIcon(image));
    a->setProperty("image", image);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}

QFont ListFont() {
    QFont f;
    f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                   QStringLiteral("Noto Sans CJK JP")});
    f.setPointSize(9);
    return f;
}

} // namespace

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

TFMmain::~TFMmain() { Global().Drives.SetItemsUi(nullptr); }

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
    MMtolsrc->setVisible(false);
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
    for (QAction* a : {MMprcnon, MMprcnof, MMmesrnk, MMmessim, MMviwdif, MMviwpty, MMtoletr, MMtolcpy, MMtolmov,
                       MMtoldel, MMtolexp, MMtolapp, MMtolcln, MMtoldfg, MMtolfmt, MMtolset, MMwindmn, MMhlphlp,
                       MMhlpwww, MMhlpver})
        a->setEnabled(false);

    connect(MMprcend, &QAction::triggered, this, &TFMmain::MMprcendClick);
    connect(MMmesdrv, &QAction::triggered, this, &TFMmain::MMmesdrvClick);
    connect(MMmesfld, &QAction::triggered, this, &TFMmain::MMmesfldClick);
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
    TBtool->addSeparator()->setObjectName("BB1");
    BBviwrem = button("BBviwrem", 19, QStringLiteral("リムーバブルメディアの表示"));
    BBviwlst = button("BBviwlst", 9, QStringLiteral("ファイルリストの表示"));
    BBviwnme = button("BBviwnme", 21, QStringLiteral("名前順で表示"));
    BBviwcap = button("BBviwcap", 22, QStringLiteral("容量順で表示"));
    BBviwupp = button("BBviwupp", 23, QStringLiteral("昇順で表示"));
    BBviwdwn = button("BBviwdwn", 24, QStringLiteral("降順で表示"));
    TBtool->addSeparator()->setObjectName("BB3");
    BBtolsrc = button("BBtolsrc", 18, QStringLiteral("フォルダ／ファイルの検索"));
    BBtolsrc->setVisible(false);
    BBtoletr = button("BBtoletr", 29, QStringLiteral("情報のエクスポート"));
    BBtolexp = button("BBtolexp", 31, QStringLiteral("エクスプローラを起動"));
    TBtool->addSeparator()->setObjectName("BB4");
    BBhlphlp = button("BBhlphlp", 39, QStringLiteral("ヘルプ"));
    BBhlpwww = button("BBhlpwww", 40, QStringLiteral("サポートウェブページ"));
    for (QAction* a : {BBviwrem, BBviwlst, BBviwnme, BBviwcap, BBviwupp, BBviwdwn}) a->setCheckable(true);
    for (QAction* a : {BBmesrnk, BBmessim, BBtoletr, BBtolexp, BBhlphlp, BBhlpwww}) a->setEnabled(false);
    connect(BBmesdrv, &QAction::triggered, this, &TFMmain::MMmesdrvClick);
    connect(BBmesfld, &QAction::triggered, this, &TFMmain::MMmesfldClick);
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

    TVtree = new QTreeWidget(PLbase);
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
    statusBar()->setObjectName("SBsts");
    statusBar()->setSizeGripEnabled(false);
    for (int i = 0; i < 7; ++i) {
        auto* p = new QLabel(statusBar());
        p->setObjectName(QStringLiteral("SBsts%1").arg(i));
        p->setAlignment(Qt::AlignCenter);
        p->setFixedWidth(widths[i]);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        statusBar()->addWidget(p);
        SBpanels[static_cast<size_t>(i)] = p;
    }
}

QSize TFMmain::ClampedSize(int width, int height, const QSize& screen) {
    if (screen.width() > 0 && screen.width() < width) width = screen.width();
    if (screen.height() > 0 && screen.height() < height) height = screen.height();
    return {width, height};
}

void TFMmain::ApplyGeometry() {
    GlobalState& g = Global();
    QSize screen;
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
    QSize sz = ClampedSize(g.MainWidth, g.MainHeight, screen);
    g.MainWidth = sz.width();
    g.MainHeight = sz.height();
    // A saved position is used as it stands, even off the screen.
    resize(sz);
    move(g.MainLeft, g.MainTop);
    PLbase->setSizes({g.TreeWidth, std::max(1, sz.width() - g.TreeWidth)});
    LVlist->setColumnWidth(0, g.NameColumnWidth);
    LVlist->setColumnWidth(3, g.GraphColumnWidth);
}

void TFMmain::StoreGeometry() {
    GlobalState& g = Global();
    QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    g.MainWidth = r.width();
    g.MainHeight = r.height();
    g.MainLeft = frameGeometry().left();
    g.MainTop = frameGeometry().top();
    g.TreeWidth = TVtree->width();
    g.NameColumnWidth = LVlist->columnWidth(0);
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
        SaveParameters();
        saved_ = true;
    }
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
    item->setText(QString(QChar('A' + record.Index)) + QStringLiteral("  ") + Q(record.VolumeName));
    item->setIcon(ImageIcon(static_cast<int>(record.Category)));
    item->setData(listedPos);
    item->setVisible(true);
    QToolButton* b = DriveButtons[n];
    b->setToolTip(Q(record.VolumeName));
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
    QWidget* focus = QApplication::focusWidget();
    PopupContext = focus == LVlist ? 2 : focus == TVtree ? 1 : 0;
    PMpopPopup();
    MMtolfmt->setVisible(true);
    MMtolfmt->setEnabled(false);  // formatting comes with the tools
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
    QHeaderView* h = LVlist->horizontalHeader();
    for (int c = 0; c < 6; ++c) {
        const bool pinned = c != 0 && c != 3;
        if (LVlist->columnWidth(c) != w[static_cast<size_t>(c)]) LVlist->setColumnWidth(c, w[static_cast<size_t>(c)]);
        h->setSectionResizeMode(c, pinned ? QHeaderView::Fixed : QHeaderView::Interactive);
    }
    LVlist->viewport()->update();
}

void TFMmain::ShowDriveStatus(const DriveRecord& drive, const FolderList* folders) {
    for (QLabel* p : SBpanels) p->clear();
    SBpanels[0]->setText(Q(drive.RootPath.substr(0, 1)));
    if (!folders) return;
    SBpanels[1]->setText(Q(drive.VolumeName));
    SBpanels[2]->setText(QStringLiteral("Total  ") + Q(FormatSizeText(drive.TotalBytes, 0)));
    SBpanels[3]->setText(QStringLiteral("Free  ") + Q(FormatSizeText(drive.FreeBytes, 0)));
    if (folders->Count() > 0) {
        auto [date, lap] = SplitNameValue(folders->LineAt(0));
        SBpanels[4]->setText(QStringLiteral("Snap.  ") + Q(date));
        SBpanels[5]->setText(QStringLiteral("Lap.  ") + Q(lap));
    }
}

void TFMmain::TMtimerTimer(bool byTimer) {
    TMtimer->stop();
    GlobalState& g = Global();
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

// ---------------------------------------------------------------- browsing

void TFMmain::SelectDrive(int listedPos) {
    GlobalState& g = Global();
    DriveRecord* drive = g.Drives.ListedAt(listedPos);
    if (!drive) return;
    g.CurrentDrive = drive;
    g.Folders.Clear();
    RefreshControls();
    TVtree->clear();
    lastTreeNode_ = nullptr;
    model_->SetRows({});
    SetDriveLamp(0);
    ShowDriveStatus(*drive, nullptr);
    QApplication::processEvents();
    TVtree->setEnabled(false);
    LVlist->setEnabled(false);
    if (!g.Drives.ReadVolume(*drive)) {
        SetDriveLamp(2);
        RefreshControls();
        ShowMessageBox("ドライブの準備ができていません。", MB_ICONSTOP);
        return;
    }
    ++drive->SelectCount;
    SetDriveLamp(1);
    QApplication::processEvents();
    if (IsCached(*drive) || justMeasured_) LoadCache(g.Folders, *drive);
    ShowDriveStatus(*drive, &g.Folders);
    TVtree->setEnabled(true);
    LVlist->setEnabled(true);
    FillTreeLevel(nullptr);
    if (openingPath_) return;
    OpenPath(drive->RootPath, false);
    if (ShouldMeasure(RowsShowUnmeasured(model_->Rows()), std::time(nullptr))) MMmesdrvClick();
}

void TFMmain::OpenPath(std::string path, bool force) {
    GlobalState& g = Global();
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    if (path.size() < 3) return;
    if (path.back() != '\\') path += '\\';
    std::string drivePart = path.substr(0, 3);
    drivePart[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(drivePart[0])));
    std::string rest = path.substr(3);
    if (force || !g.CurrentDrive || g.CurrentDrive->RootPath != drivePart) {
        DriveRecord* target = g.Drives.ByLetter(drivePart[0] - 'A');
        if (!target || !DriveMenuItems[static_cast<size_t>(target->Index)]->isVisible()) return;
        openingPath_ = true;
        SelectDrive(DriveMenuItems[static_cast<size_t>(target->Index)]->data().toInt());
        openingPath_ = false;
        if (!g.CurrentDrive || !g.CurrentDrive->Ready) return;
    }
    g.Drives.ReadVolume(*g.CurrentDrive);
    QTreeWidgetItem* node = TVtree->topLevelItem(0);
    while (node && !rest.empty()) {
        size_t slash = rest.find('\\');
        std::string name = rest.substr(0, slash);
        rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < node->childCount(); ++i) {
            QTreeWidgetItem* c = node->child(i);
            if (c->data(0, kNameRole).toByteArray().toStdString() == name) {
                found = c;
                break;
            }
        }
        if (!found) break;
        // Expanding fills the level; the node itself is replaced by it.
        const QByteArray key = found->data(0, kNameRole).toByteArray();
        TVtree->expandItem(found);
        found = nullptr;
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->data(0, kNameRole).toByteArray() == key) found = node->child(i);
        if (!found) break;
        node = found;
    }
    lastTreeNode_ = nullptr;
    if (node) TVtree->setCurrentItem(node);
    TVtreeClick();
    TVtree->setFocus();
}

std::string TFMmain::NodePath(const QTreeWidgetItem* node) const {
    if (!node) return {};
    std::string path;
    const QTreeWidgetItem* n = node;
    for (; n->parent(); n = n->parent()) path = n->data(0, kNameRole).toByteArray().toStdString() + "\\" + path;
    return n->data(0, kNameRole).toByteArray().toStdString() + ":\\" + path;
}

void TFMmain::FillTreeLevel(QTreeWidgetItem* node) {
    if (fillingTree_) return;
    fillingTree_ = true;
    const DriveRecord* drive = Global().CurrentDrive;
    if (!node) {
        TVtree->clear();
        lastTreeNode_ = nullptr;
        if (!drive) {
            fillingTree_ = false;
            return;
        }
        node = new TreeItem(TVtree);
        node->setText(0, QString(QChar('A' + drive->Index)) + QStringLiteral("  ") + Q(drive->VolumeName));
        node->setData(0, kNameRole, QByteArray(1, static_cast<char>('A' + drive->Index)));
        node->setIcon(0, ImageIcon(static_cast<int>(drive->Category)));
    }
    // Messages are not let through while a level is filled: a click handled
    // meanwhile could delete the very node being filled.
    TVtree->collapseItem(node);
    const QList<QTreeWidgetItem*> old = node->takeChildren();
    // The list's node may lie anywhere below; the next click refills.
    if (!old.isEmpty()) lastTreeNode_ = nullptr;
    qDeleteAll(old);
    const std::string path = NodePath(node);
    DirListing listing;
    ListFolder(listing, path + "*.*", LIST_FOLDERS);
    SortListing(listing, false);
    const QIcon folder = ImageIcon(7);
    TVtree->setSortingEnabled(false);
    for (const auto& line : listing.Entries) {
        DirEntry e = ParseEntry(line);
        std::string name = e.Name;
        if (!name.empty() && name.back() == '\\') name.pop_back();
        auto* child = new TreeItem(node);
        child->setText(0, Q(name));
        child->setData(0, kNameRole, QByteArray::fromStdString(name));
        child->setIcon(0, folder);
        if (CountEntries(path + name + "\\*.*", LIST_FOLDERS) >= 1) new TreeItem(child);
    }
    TVtree->setSortingEnabled(true);
    TVtree->expandItem(node);
    fillingTree_ = false;
}

QTreeWidgetItem* TFMmain::SelectedNode() const { return TVtree->currentItem(); }

int TFMmain::SelectedRow() const {
    QModelIndexList sel = LVlist->selectionModel() ? LVlist->selectionModel()->selectedRows() : QModelIndexList{};
    return sel.isEmpty() ? -1 : sel.first().row();
}

void TFMmain::TVtreeClick() {
    QTreeWidgetItem* node = SelectedNode();
    if (node && node == lastTreeNode_) return;
    lastTreeNode_ = node;
    if (node && !openingPath_) FillList(node);
    RefreshControls();
}

void TFMmain::FillList(QTreeWidgetItem* node) {
    if (node) FillListPath(NodePath(node));
}

void TFMmain::RefillShown() {
    if (QTreeWidgetItem* node = SelectedNode()) FillList(node);
    else if (model_->rowCount() > 0) FillListPath(model_->RowAt(0).Caption);
}

void TFMmain::FillListPath(const std::string& path) {
    if (fillingList_ || path.empty()) return;
    fillingList_ = true;
    GlobalState& g = Global();
    DisplayComplete = false;
    model_->SetRows({});
    DirListing listing;
    if (g.CurrentDrive) listing.ClusterSize = static_cast<int32_t>(g.CurrentDrive->ClusterSize);
    ListFolder(listing, path + "*.*", LIST_ALL);
    auto ask = [](int count, const char* what) {
        return AskYesNo(FormatText("このフォルダには%d個の%sがあります。\n全てを表示しますか？\n\n[ はい ] 全てを表示　　[ "
                                   "いいえ ] 総計のみ表示　",
                                   count, what),
                        MB_ICONQUESTION | MB_DEFBUTTON2) == ID_YES;
    };
    FillInput in;
    in.Path = path;
    in.Entries = &listing.Entries;
    in.ListedFolders = listing.FolderCount;
    in.ListedFiles = listing.FileCount;
    in.WantFolders = listing.FolderCount > 10000 ? ask(listing.FolderCount, "フォルダ") : true;
    in.WantFiles = (listing.FileCount > 10000 && g.ShowFiles) ? ask(listing.FileCount, "ファイル") : true;
    if (g.CurrentDrive) {
        in.TotalBytes = g.CurrentDrive->TotalBytes;
        in.FreeBytes = g.CurrentDrive->FreeBytes;
        in.RootPath = g.CurrentDrive->RootPath;
    }
    in.ShowFiles = g.ShowFiles != 0;
    in.PercentBase = g.PercentBase;
    in.Order = {g.SortKey, g.SortDescending, g.ColumnFlags};
    FillResult r = BuildRows(in, g.Folders, PercentBaseValue);
    PercentBaseValue = r.PercentBaseValue;
    model_->SetRows(std::move(r.Rows));
    FitColumns();
    DisplayComplete = r.DisplayComplete;
    fillingList_ = false;
    // Only now, with nothing held, may a click come through.
    QApplication::processEvents();
}

std::string TFMmain::SelectedPath() {
    const DriveRecord* cur = Global().CurrentDrive;
    if (!cur || !cur->Ready || model_->rowCount() == 0) return {};
    std::string path = cur->RootPath;
    if (PopupContext > 0) {
        path = model_->RowAt(0).Caption;
        int row = SelectedRow();
        if (QApplication::focusWidget() == LVlist && row >= 0) {
            const RowFields& f = model_->RowAt(row);
            if (f.Caption != path) path += f.Caption;
        }
    }
    PopupContext = INT_MAX;
    return path;
}

void TFMmain::LVlistColumnClick(int column) {
    GlobalState& g = Global();
    if (column == 0) {
        if (g.SortKey == 1) g.SortKey = 0;
        else g.SortDescending = !g.SortDescending;
    } else if (column == 3) {
        if (g.SortKey == 1) g.SortDescending = !g.SortDescending;
        else g.SortKey = 1;
    } else {
        return;
    }
    RefreshControls();
    RefillShown();
}

void TFMmain::LVlistDblClick() {
    int row = SelectedRow();
    if (row < 0) return;
    const int image = model_->RowAt(row).Image;
    if (image < 0) return;
    PopupContext = INT_MAX;
    if (image == IMG_FOLDER) {
        // The list has the focus: the selected folder's path.
        PopupContext = 2;
        OpenPath(SelectedPath(), false);
    } else if (image == IMG_FILE) {
        PopupContext = 2;
        std::string native;
        if (platform::ToNative(SelectedPath(), native))
            // Built from the name's bytes: a name that is not UTF-8 must
            // still reach the desktop unchanged.
            QDesktopServices::openUrl(
                QUrl::fromEncoded("file://" + QByteArray::fromStdString(native).toPercentEncoding("/")));
    }
}

void TFMmain::TreeMouseDown(QObject* source, const QPoint& globalPos, const QPoint& localPos) {
    auto* button = qobject_cast<QToolButton*>(source);
    if (button) {
        PopupContext = 0;
        const DriveRecord* cur = Global().CurrentDrive;
        if (cur && cur->Ready && button->isChecked()) PMpop->popup(globalPos);
        return;
    }
    QTreeWidgetItem* node = TVtree->itemAt(localPos);
    TVtree->setCurrentItem(node);
    if (!node) TVtree->clearSelection();
    TVtreeClick();
    PopupContext = 1;
    if (node) PMpop->popup(globalPos);
}

void TFMmain::ListMouseDown(const QPoint& globalPos, const QPoint& localPos) {
    PopupContext = 2;
    QModelIndex idx = LVlist->indexAt(localPos);
    if (!idx.isValid()) return;
    const int image = model_->RowAt(idx.row()).Image;
    if (image >= 0 && image != IMG_FILE_TOTAL && image != IMG_FOLDER_TOTAL) PMpop->popup(globalPos);
}

void TFMmain::TreeKey(int key) {
    QTreeWidgetItem* node = SelectedNode();
    if (!node) return;
    if (key == Qt::Key_Right) {
        if (!node->isExpanded() && node->childCount() > 0) TVtree->expandItem(node);
        else if (node->childCount() > 0) TVtree->setCurrentItem(node->child(0));
    } else if (key == Qt::Key_Left) {
        if (node->isExpanded()) TVtree->collapseItem(node);
        else if (node->parent()) TVtree->setCurrentItem(node->parent());
    }
}

bool TFMmain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::RightButton) {
            if (watched == TVtree->viewport() || qobject_cast<QToolButton*>(watched)) {
                TreeMouseDown(watched, me->globalPosition().toPoint(), me->position().toPoint());
                return qobject_cast<QToolButton*>(watched) != nullptr;
            }
            if (watched == LVlist->viewport()) {
                ListMouseDown(me->globalPosition().toPoint(), me->position().toPoint());
                return false;
            }
        }
    }
    if (event->type() == QEvent::KeyPress && watched == TVtree) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Right || ke->key() == Qt::Key_Left) {
            TreeKey(ke->key());
            return true;
        }
        if (ke->key() == Qt::Key_Backspace) {
            if (QTreeWidgetItem* n = SelectedNode(); n && n->parent()) TVtree->setCurrentItem(n->parent());
            return true;
        }
    }
    if (event->type() == QEvent::KeyRelease && watched == TVtree) TVtreeClick();
    if (event->type() == QEvent::KeyPress && watched == LVlist) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
            if (SelectedRow() >= 0 && model_->RowAt(SelectedRow()).Image == IMG_FOLDER) LVlistDblClick();
            return true;
        }
        if (ke->key() == Qt::Key_Backspace) {
            QTreeWidgetItem* n = SelectedNode();
            if (n && n->parent()) {
                TVtree->setCurrentItem(n->parent());
                TVtreeClick();
                LVlist->setFocus();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- commands

void TFMmain::ReopenAfterMeasure(const std::string& path) {
    GlobalState& g = Global();
    justMeasured_ = true;
    OpenPath(path, true);
    if (g.CurrentDrive) ShowDriveStatus(*g.CurrentDrive, &g.Folders);
    justMeasured_ = false;
}

void TFMmain::MMmesdrvClick() {
    GlobalState& g = Global();
    RunningHooks hooks(*Running);
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
    // Which items a context offers; the commands behind them come with the
    // tools, so every offered item stays disabled for now.
    auto offer = [](QAction* a, bool flag) {
        a->setVisible(true);
        a->setEnabled(false);
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

} // namespace nrvs
