#include "ui/files/FilesWindow.h"
#include "ui/Locale.h"

#include "ui/ReportLists.h"

#include "core/cache/Cache.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/DirectoryListing.h"
#include "lib/ItemOperations.h"
#include "lib/Text.h"
#include "platform/Paths.h"
#include "platform/FileOperations.h"
#include "ui/main/Images.h"
#include "ui/main/FileOperationDialogs.h"
#include "ui/main/MainWindow.h"
#include "ui/main/PropertiesDialog.h"
#include "core/index/FileIndexWriter.h"
#include "core/index/FileQueries.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <ctime>

namespace nrvs {

namespace {

enum Column { C_NAME = 0, C_FOLDER, C_SIZE, C_OCCUPIED, C_MODIFIED, C_KIND };
constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kValueRole = Qt::UserRole + 2;  // the number a size or date column sorts by
constexpr int kHitRole = Qt::UserRole + 3;    // sizes and time of the hit, for the questions

QString Q(const std::string& bytes) { return ShownText(bytes); }
std::string PathOf(const QTreeWidgetItem* item) { return item->data(C_NAME, kPathRole).toByteArray().toStdString(); }

// Sizes and dates sort by their numbers, names as the desktop sorts them
// (case ignored), every tie by the path so the order never depends on the
// order before.
class FileItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : C_SIZE;
        if (column == C_SIZE || column == C_OCCUPIED || column == C_MODIFIED) {
            const qint64 a = data(column, kValueRole).toLongLong(), b = other.data(column, kValueRole).toLongLong();
            if (a != b) return a < b;
        } else {
            const int c = text(column).compare(other.text(column), Qt::CaseInsensitive);
            if (c != 0) return c < 0;
        }
        return PathOf(this) > PathOf(&other);
    }
};

bool Exists(const std::string& programPath) {
    PathAttributes a;
    return ReadAttributes(programPath, a) != 0;
}

int KeyColumn(int key) { return key == FK_OCCUPIED ? C_OCCUPIED : key == FK_MODIFIED ? C_MODIFIED : C_SIZE; }

constexpr size_t kErrorLinesShown = 15;

// The same report as the main list's after an operation, over the errors of
// every item of a several-row operation.
void Report(bool ok, bool cancelled, uint64_t done, const std::vector<std::string>& errors, const char* verb) {
    if (!errors.empty()) {
        std::string text = std::string(verb) + "できなかった項目があります。\n\n";
        for (size_t i = 0; i < errors.size() && i < kErrorLinesShown; ++i)
            text += platform::ShownName(errors[i]) + "\n";
        if (errors.size() > kErrorLinesShown) text += FormatText("ほか %zu 件\n", errors.size() - kErrorLinesShown);
        if (cancelled) text += "\n中止しました。";
        ShowMessageBox(text, MB_ICONSTOP);
    } else if (cancelled) {
        ShowMessageBox(std::string(verb) + FormatText("を中止しました。処理済みの %llu 個の項目はそのまま残っています。",
                                                      static_cast<unsigned long long>(done)),
                       MB_ICONINFORMATION);
    } else if (!ok) {
        ShowMessageBox(std::string(verb) + "できませんでした。", MB_ICONSTOP);
    }
}

} // namespace

TFMfiles::TFMfiles(TFMmain* main) : QDialog(main), main_(main) {
    QVBoxLayout* layout = SetUpReportWindow(this, "TFMfiles", QStringLiteral(" 大きいファイル"), 820, 540);
    auto* top = new QGridLayout;
    top->setHorizontalSpacing(4);
    top->setVerticalSpacing(3);

    EDname = new QLineEdit(this);
    EDname->setObjectName("EDname");
    EDname->setPlaceholderText(QStringLiteral("名前 (* と ? が使えます)"));
    EDname->setClearButtonEnabled(true);
    CKpath = new QCheckBox(QStringLiteral("パスも検索"), this);
    CKpath->setObjectName("CKpath");
    CKdrive = new QCheckBox(QStringLiteral("ドライブ全体"), this);
    CKdrive->setObjectName("CKdrive");
    CBsort = new QComboBox(this);
    CBsort->setObjectName("CBsort");
    for (int i = 0; i < 3; ++i) CBsort->addItem(QString::fromUtf8(FilesKeyText(i)));
    CBcount = new QComboBox(this);
    CBcount->setObjectName("CBcount");
    for (int i = 0; i < kFilesCounts; ++i) CBcount->addItem(QString::fromUtf8(FilesCountText(i)));
    auto* nameLabel = new QLabel(QStringLiteral("名前"), this);
    top->addWidget(nameLabel, 0, 0);
    top->addWidget(EDname, 0, 1, 1, 3);
    top->addWidget(CKpath, 0, 4);
    top->addWidget(CKdrive, 0, 5);
    top->addWidget(CBsort, 0, 6);
    top->addWidget(CBcount, 0, 7);

    EDext = new QLineEdit(this);
    EDext->setObjectName("EDext");
    EDext->setPlaceholderText(QStringLiteral("jpg, png"));
    EDmin = new QLineEdit(this);
    EDmin->setObjectName("EDmin");
    EDmin->setFixedWidth(70);
    CBunit = new QComboBox(this);
    CBunit->setObjectName("CBunit");
    for (int i = 0; i < kFilesUnits; ++i) CBunit->addItem(QString::fromUtf8(FilesUnitText(i)));
    CBdate = new QComboBox(this);
    CBdate->setObjectName("CBdate");
    for (int i = 0; i < kFilesDateModes; ++i) CBdate->addItem(QString::fromUtf8(FilesDateText(i)));
    EDdate = new QLineEdit(this);
    EDdate->setObjectName("EDdate");
    EDdate->setFixedWidth(90);
    BTrefresh = new QPushButton(QStringLiteral("更新"), this);
    BTrefresh->setObjectName("BTrefresh");
    BTrefresh->setAutoDefault(false);
    BTrefresh->setToolTip(QStringLiteral("最新の計測結果で一覧を作り直します (F5)"));
    auto* filters = new QHBoxLayout;
    filters->setSpacing(4);
    filters->addWidget(new QLabel(QStringLiteral("拡張子"), this));
    filters->addWidget(EDext, 1);
    filters->addWidget(new QLabel(QStringLiteral("最小サイズ"), this));
    filters->addWidget(EDmin);
    filters->addWidget(CBunit);
    filters->addWidget(new QLabel(QStringLiteral("更新日時"), this));
    filters->addWidget(CBdate);
    filters->addWidget(EDdate);
    filters->addWidget(BTrefresh);
    top->addLayout(filters, 1, 0, 1, 8);
    top->setColumnStretch(1, 1);
    layout->addLayout(top);

    LLstate = new QLabel(this);
    LLstate->setObjectName("LLstate");
    LLstate->setTextFormat(Qt::PlainText);
    layout->addWidget(LLstate);

    LVlist = MakeReportList(this,
                            {QStringLiteral("名前"), QStringLiteral("フォルダ"), QStringLiteral("容量"),
                             QStringLiteral("占有量"), QStringLiteral("更新日時"), QStringLiteral("種類")},
                            QAbstractItemView::ExtendedSelection);
    LVlist->setContextMenuPolicy(Qt::CustomContextMenu);
    LVlist->setIconSize(QSize(16, 16));
    LVlist->header()->setStretchLastSection(false);
    LVlist->setSortingEnabled(true);
    LVlist->sortByColumn(C_SIZE, Qt::DescendingOrder);
    LVlist->installEventFilter(this);
    layout->addWidget(LVlist, 1);

    PMfiles = new QMenu(this);
    PMfiles->setObjectName("PMfiles");
    auto item = [this](const char* name, const QString& caption, int image) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        if (image >= 0) a->setIcon(ImageIcon(image));
        PMfiles->addAction(a);
        return a;
    };
    PMopen = item("PMopen", QStringLiteral("開く(&O)"), 32);
    PMshow = item("PMshow", QStringLiteral("フォルダを表示(&S)"), 7);
    PMexp = item("PMexp", QStringLiteral("エクスプローラ(&E)..."), 31);
    PMfiles->addSeparator();
    PMcpy = item("PMcpy", QStringLiteral("コピー(&C)..."), 15);
    PMmov = item("PMmov", QStringLiteral("移動(&M)..."), 16);
    PMdel = item("PMdel", QStringLiteral("削除(&D)"), 17);
    PMfiles->addSeparator();
    PMpty = item("PMpty", QStringLiteral("プロパティ(&P)..."), 26);
    connect(PMopen, &QAction::triggered, this, &TFMfiles::OpenSelected);
    connect(PMshow, &QAction::triggered, this, &TFMfiles::ShowInMain);
    connect(PMexp, &QAction::triggered, this, &TFMfiles::ExplorerSelected);
    connect(PMcpy, &QAction::triggered, this, [this] { CopySelected(1); });
    connect(PMmov, &QAction::triggered, this, [this] { CopySelected(0); });
    connect(PMdel, &QAction::triggered, this, &TFMfiles::DeleteSelected);
    connect(PMpty, &QAction::triggered, this, &TFMfiles::PropertiesSelected);
    connect(LVlist, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupAt(LVlist->viewport()->mapToGlobal(pos)); });
    connect(LVlist, &QTreeWidget::itemDoubleClicked, this, [this] { ShowInMain(); });

    // Typing waits a moment, so that a quick word costs one query; an older
    // query still running is cancelled by the newer one anyway.
    TMquery = new QTimer(this);
    TMquery->setObjectName("TMquery");
    TMquery->setSingleShot(true);
    TMquery->setInterval(150);
    connect(TMquery, &QTimer::timeout, this, &TFMfiles::RunQuery);
    for (QLineEdit* e : {EDname, EDext, EDmin, EDdate}) connect(e, &QLineEdit::textChanged, this, &TFMfiles::Requery);
    for (QCheckBox* c : {CKpath, CKdrive}) connect(c, &QCheckBox::toggled, this, &TFMfiles::Requery);
    for (QComboBox* c : {CBcount, CBunit, CBdate}) connect(c, &QComboBox::currentIndexChanged, this, &TFMfiles::Requery);
    connect(CBsort, &QComboBox::currentIndexChanged, this, [this](int key) {
        // A new key brings its own top rows, shown largest first.
        LVlist->sortByColumn(KeyColumn(key), Qt::DescendingOrder);
        Requery();
    });
    connect(CBdate, &QComboBox::currentIndexChanged, this, [this](int mode) {
        EDdate->setEnabled(mode != FD_ANY);
        EDdate->setPlaceholderText(mode == FD_OLDER_DAYS ? QStringLiteral("日数") : QStringLiteral("2026/12/07"));
    });
    EDdate->setEnabled(false);
    connect(BTrefresh, &QPushButton::clicked, this, &TFMfiles::Refresh);
}

TFMfiles::~TFMfiles() { StopWorker(); }

void TFMfiles::OpenLargest() { Open(false); }
void TFMfiles::OpenSearch() { Open(true); }

void TFMfiles::OpenLargestWithExtension(const std::string& extensions, bool wholeDrive) {
    // The kept settings are read first, or the first showing would put the
    // kept filter back over the asked one.
    if (!loaded_) LoadSettings();
    {
        const QSignalBlocker b1(EDext), b2(CKdrive);
        EDext->setText(Q(extensions));
        CKdrive->setChecked(wholeDrive);
    }
    Open(false);
}

void TFMfiles::Open(bool search) {
    search_ = search;
    setWindowTitle(search ? QStringLiteral(" 検索") : QStringLiteral(" 大きいファイル"));
    // The folder the main window shows when the window is asked for.
    below_.clear();
    const DriveRecord* drive = Global().CurrentDrive;
    if (main_ && drive && !main_->Rows().empty()) {
        const std::string shown = SplitRow(main_->Rows().front()).Caption;
        if (shown.size() > 3 && shown[0] == drive->RootPath[0] && shown.back() == '\\') below_ = shown;
    }
    if (!isVisible()) {
        show();
    } else {
        Refresh();
    }
    raise();
    activateWindow();
    if (search) {
        EDname->setFocus();
        EDname->selectAll();
    } else {
        LVlist->setFocus();
    }
}

void TFMfiles::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (!loaded_) LoadSettings();
    Refresh();
}

void TFMfiles::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;
    StopWorker();
    TMquery->stop();
    SaveSettings();
}

void TFMfiles::LoadSettings() {
    loaded_ = true;
    const FilesSettings s = LoadFilesSettings(FilesSettingsName());
    if (s.Left >= 0 || s.Top >= 0) setGeometry(s.Left, s.Top, s.Width, s.Height);
    else if (main_) setGeometry(main_->geometry().adjusted(32, 32, -32, -32));
    for (int c = 0; c < kFilesColumns; ++c) LVlist->header()->resizeSection(c, s.ColumnWidths[static_cast<size_t>(c)]);
    // Filling the boxes is no user's change: one query follows at the end.
    const QSignalBlocker b1(CBsort), b2(CBcount), b3(CKdrive), b4(CKpath), b5(EDext), b6(EDmin), b7(CBunit),
        b8(EDdate);
    CBsort->setCurrentIndex(s.KeyIndex);
    LVlist->sortByColumn(KeyColumn(s.KeyIndex), Qt::DescendingOrder);
    CBcount->setCurrentIndex(s.CountIndex);
    CKdrive->setChecked(s.WholeDrive);
    CKpath->setChecked(s.OnPath);
    EDext->setText(Q(s.Extensions));
    EDmin->setText(Q(s.MinSize));
    CBunit->setCurrentIndex(s.UnitIndex);
    CBdate->setCurrentIndex(s.DateMode);  // not blocked: the date box follows the mode
    EDdate->setText(Q(s.DateText));
}

void TFMfiles::SaveSettings() {
    FilesSettings s;
    const QRect g = geometry();
    s.Left = g.left();
    s.Top = g.top();
    s.Width = g.width();
    s.Height = g.height();
    for (int c = 0; c < kFilesColumns; ++c) s.ColumnWidths[static_cast<size_t>(c)] = LVlist->header()->sectionSize(c);
    s.KeyIndex = CBsort->currentIndex();
    s.CountIndex = CBcount->currentIndex();
    s.WholeDrive = CKdrive->isChecked();
    s.OnPath = CKpath->isChecked();
    s.Extensions = EDext->text().toStdString();
    s.MinSize = EDmin->text().toStdString();
    s.UnitIndex = CBunit->currentIndex();
    s.DateMode = CBdate->currentIndex();
    s.DateText = EDdate->text().toStdString();
    if (!SaveFilesSettings(s, FilesSettingsName())) TellSaveFailed(FilesSettingsName());
}

bool TFMfiles::EnsureIndex() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready || drive->RootPath.empty()) {
        StopWorker();
        index_.reset();
        ShowState(QStringLiteral("ドライブが選ばれていません。"));
        return false;
    }
    const char letter = drive->RootPath[0];
    const std::string header = CacheHeaderLine(*drive);
    // A measurement since the index was opened wrote a new one beside a new
    // cache: the header lines then differ.
    if (index_ && index_->IsOpen() && index_->Letter() == letter && !header.empty() && index_->CacheHeader() == header)
        return true;
    StopWorker();
    index_.reset();
    auto index = std::make_shared<FileIndex>();
    std::string why;
    if (header.empty()) {
        why = "このドライブは計測されていません。";
    } else if (index->Open(FileIndexName(*drive), letter, header, &why)) {
        index_ = std::move(index);
        indexFile_ = FileIndexName(*drive);
        return true;
    }
    ShowState(Q(why + "ドライブを計測し直してください。"));
    return false;
}

void TFMfiles::Refresh() {
    StopWorker();
    index_.reset();
    RunQuery();
}

void TFMfiles::Requery() {
    if (isVisible()) TMquery->start();
}

void TFMfiles::ShowState(const QString& text) { LLstate->setText(text); }

void TFMfiles::StopWorker() {
    if (cancel_) cancel_->store(true);
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
}

void TFMfiles::RunQuery() {
    TMquery->stop();
    // Whatever is running now answers a question nobody asks any more.
    StopWorker();
    const unsigned generation = ++generation_;
    if (!EnsureIndex()) {
        LVlist->clear();
        ++queries_;
        return;
    }
    FileQuery q;
    FilesFilter f;
    f.Extensions = EDext->text().toStdString();
    f.MinSize = EDmin->text().toStdString();
    f.UnitIndex = CBunit->currentIndex();
    f.DateMode = CBdate->currentIndex();
    f.DateText = EDdate->text().toStdString();
    f.Now = static_cast<int64_t>(std::time(nullptr));
    std::string why;
    if (!ApplyFilesFilter(f, q, &why)) {
        LVlist->clear();
        ShowState(Q(why));
        ++queries_;
        return;
    }
    if (!CKdrive->isChecked() && !below_.empty() && below_[0] == index_->Letter()) {
        if (index_->FindFolder(below_) < 0) {
            LVlist->clear();
            ShowState(Q(below_ + " は計測されていません。フォルダを計測するか「ドライブ全体」を選んでください。"));
            ++queries_;
            return;
        }
        q.Below = below_;
    }
    q.Key = static_cast<FileKey>(CBsort->currentIndex());
    q.Top = FilesTopCount(CBcount->currentIndex());
    q.Name = EDname->text().toStdString();
    q.OnPath = CKpath->isChecked();
    q.WithFolders = search_;
    ShowState(QStringLiteral("検索中..."));
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancel;
    std::shared_ptr<const FileIndex> index = index_;
    worker_ = std::thread([this, index, q, cancel, generation] {
        auto hits = std::make_shared<std::vector<FileHit>>(QueryFiles(*index, q, cancel.get()));
        if (cancel->load()) return;
        // The window outlives the thread (its destructor joins), so the
        // call is safe to queue; a newer query makes it stale on arrival.
        QMetaObject::invokeMethod(this, [this, generation, hits] { Deliver(generation, hits); }, Qt::QueuedConnection);
    });
}

void TFMfiles::Deliver(unsigned generation, std::shared_ptr<std::vector<FileHit>> hits) {
    if (generation != generation_) return;
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
    Fill(*hits);
    const std::string scope = CKdrive->isChecked() || below_.empty() ? std::string(1, index_->Letter()) + ":\\" : below_;
    ShowState(Q(FormatText("%s の %zu 件", scope.c_str(), hits->size())) +
              (hits->size() >= FilesTopCount(CBcount->currentIndex()) ? QStringLiteral(" (上位のみ)") : QString()));
    ++queries_;
}

void TFMfiles::Fill(const std::vector<FileHit>& hits) {
    const int column = LVlist->header()->sortIndicatorSection();
    const Qt::SortOrder order = LVlist->header()->sortIndicatorOrder();
    LVlist->setSortingEnabled(false);
    LVlist->clear();
    const QIcon fileIcon = ImageIcon(9), folderIcon = ImageIcon(7);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(hits.size()));
    for (const FileHit& h : hits) {
        auto* item = new FileItem;
        const std::string name = HitName(h.Path);
        item->setText(C_NAME, Q(name));
        item->setIcon(C_NAME, h.IsFolder ? folderIcon : fileIcon);
        item->setData(C_NAME, kPathRole, QByteArray::fromStdString(h.Path));
        item->setData(C_NAME, kFolderRole, h.IsFolder);
        item->setData(C_NAME, kHitRole, QVariantList{qulonglong(h.Size), qulonglong(h.Occupied), qlonglong(h.ModifiedTime)});
        item->setText(C_FOLDER, Q(HitFolder(h.Path)));
        item->setText(C_SIZE, Q(FormatSizeText(static_cast<double>(h.Size))));
        item->setData(C_SIZE, kValueRole, qlonglong(h.Size));
        item->setText(C_OCCUPIED, Q(FormatSizeText(static_cast<double>(h.Occupied))));
        item->setData(C_OCCUPIED, kValueRole, qlonglong(h.Occupied));
        item->setText(C_MODIFIED, h.IsFolder && h.ModifiedTime == 0 ? QString() : Q(FileTimeText(h.ModifiedTime)));
        item->setData(C_MODIFIED, kValueRole, qlonglong(h.ModifiedTime));
        item->setText(C_KIND, Q(FileKindText(name, h.IsFolder)));
        for (int c : {C_SIZE, C_OCCUPIED}) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(C_NAME, Q(h.Path));
        items << item;
    }
    LVlist->addTopLevelItems(items);
    LVlist->setSortingEnabled(true);
    LVlist->sortByColumn(column, order);
}

std::vector<FileHit> TFMfiles::SelectedHits() const {
    std::vector<FileHit> out;
    // In the order the rows are shown, not the order they were clicked.
    for (int i = 0; i < LVlist->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = LVlist->topLevelItem(i);
        if (!item->isSelected()) continue;
        FileHit h;
        h.Path = PathOf(item);
        h.IsFolder = item->data(C_NAME, kFolderRole).toBool();
        const QVariantList v = item->data(C_NAME, kHitRole).toList();
        if (v.size() == 3) {
            h.Size = v[0].toULongLong();
            h.Occupied = v[1].toULongLong();
            h.ModifiedTime = v[2].toLongLong();
        }
        out.push_back(std::move(h));
    }
    return out;
}

void TFMfiles::Forget(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    // The index's flags are written in place; no query may read them meanwhile.
    const bool wasRunning = worker_.joinable();
    StopWorker();
    const DriveRecord* drive = Global().CurrentDrive;
    for (const std::string& p : paths) {
        if (index_ && index_->IsOpen() && !p.empty() && p[0] == index_->Letter())
            MarkGoneInIndex(indexFile_, index_.get(), p, index_->CacheHeader());
        else if (drive && !p.empty() && p[0] == drive->RootPath[0])
            MarkGoneInIndex(FileIndexName(*drive), nullptr, p, CacheHeaderLine(*drive));
    }
    for (int i = LVlist->topLevelItemCount() - 1; i >= 0; --i) {
        const std::string path = PathOf(LVlist->topLevelItem(i));
        for (const std::string& p : paths) {
            // A folder that went takes the rows below it along.
            const bool below = p.back() == '\\' && path.compare(0, p.size(), p) == 0;
            if (path == p || below) {
                delete LVlist->takeTopLevelItem(i);
                break;
            }
        }
    }
    if (wasRunning) RunQuery();
}

std::vector<FileHit> TFMfiles::PresentSelection() {
    std::vector<FileHit> present;
    std::vector<std::string> vanished;
    for (FileHit& h : SelectedHits()) {
        if (Exists(h.Path)) present.push_back(std::move(h));
        else vanished.push_back(h.Path);
    }
    if (!vanished.empty()) {
        Forget(vanished);
        ShowMessageBox(VanishedText(vanished), MB_ICONINFORMATION);
    }
    return present;
}

void TFMfiles::OpenSelected() {
    QTreeWidgetItem* current = LVlist->currentItem();
    if (!current || !current->isSelected()) return;
    if (current->data(C_NAME, kFolderRole).toBool()) {
        ShowInMain();
        return;
    }
    const std::string path = PathOf(current);
    if (!Exists(path)) {
        Forget({path});
        ShowMessageBox(VanishedText({path}), MB_ICONINFORMATION);
        return;
    }
    OpenProgramPath(path);
}

void TFMfiles::ShowInMain() {
    QTreeWidgetItem* current = LVlist->currentItem();
    if (!current || !main_) return;
    const std::string path = PathOf(current);
    const bool folder = current->data(C_NAME, kFolderRole).toBool();
    if (!Exists(path)) {
        Forget({path});
        ShowMessageBox(VanishedText({path}), MB_ICONINFORMATION);
        return;
    }
    if (folder) {
        main_->OpenPath(path, false);
    } else {
        main_->OpenPath(HitFolder(path), false);
        GlobalState& g = Global();
        // The file's row exists only with the file rows on.
        if (!g.ShowFiles) {
            g.ShowFiles = 1;
            main_->RefreshControls();
            main_->RefillShown();
        }
        const std::string name = HitName(path);
        const RowList& rows = main_->Rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (SplitRow(rows[i]).Caption != name) continue;
            main_->LVlist->setFocus();
            main_->LVlist->selectRow(static_cast<int>(i));
            main_->LVlist->scrollTo(main_->LVlist->model()->index(static_cast<int>(i), 0));
            break;
        }
    }
    main_->raise();
    main_->activateWindow();
}

void TFMfiles::ExplorerSelected() {
    QTreeWidgetItem* current = LVlist->currentItem();
    if (!current) return;
    const std::string path = PathOf(current);
    if (!Exists(path)) {
        Forget({path});
        ShowMessageBox(VanishedText({path}), MB_ICONINFORMATION);
        return;
    }
    OpenProgramPath(current->data(C_NAME, kFolderRole).toBool() ? path : HitFolder(path));
}

void TFMfiles::PropertiesSelected() {
    QTreeWidgetItem* current = LVlist->currentItem();
    if (!current || !main_) return;
    const std::string path = PathOf(current);
    if (!Exists(path) || !main_->Properties->Load(path)) {
        Forget({path});
        ShowMessageBox(VanishedText({path}), MB_ICONINFORMATION);
        return;
    }
    main_->Properties->exec();
}

void TFMfiles::CopySelected(int tag) {
    if (!main_) return;
    std::vector<FileHit> hits = PresentSelection();
    std::erase_if(hits, [](const FileHit& h) { return h.Path.size() <= 3; });
    if (hits.empty()) return;
    const char* verb = tag == 1 ? "コピー" : "移動";
    const std::string dest = BrowseFolder(std::string(verb) + "先を選択してください。", this);
    if (dest == "\\") return;
    for (const FileHit& h : hits) {
        const std::string below = h.Path.back() == '\\' ? h.Path : h.Path + "\\";
        if (dest.compare(0, below.size(), below) == 0) {
            ShowMessageBox("下位のフォルダは選択できません。", MB_ICONSTOP);
            return;
        }
    }
    if (AskYesNo(FilesConfirmText(verb, hits, dest, Global().UseRecycleBin != 0), MB_ICONQUESTION) != ID_YES) return;
    TFMprogress* progress = main_->Progress;
    progress->Start(QString::fromUtf8(tag == 1 ? " コピー中..." : " 移動中..."));
    bool ok = true;
    uint64_t done = 0;
    std::vector<std::string> errors, gone;
    for (const FileHit& h : hits) {
        if (progress->Cancelled()) break;
        const platform::FileOperationResult result =
            tag == 1 ? CopyItem(h.Path, dest, progress) : MoveItem(h.Path, dest, progress);
        ok = result.ok && ok;
        for (std::string& line : OperationErrorLines(result)) errors.push_back(std::move(line));
        done += progress->ItemsDone();
        if (tag == 0 && !Exists(h.Path)) gone.push_back(h.Path);
    }
    progress->Finish();
    Forget(gone);
    Report(ok, progress->Cancelled(), done, errors, verb);
    if (Global().RemeasureAfterAction) {
        main_->MMmesdrvClick();
        Refresh();
    } else if (!gone.empty()) {
        main_->RefreshFromDisk();
    }
}

void TFMfiles::DeleteSelected() {
    if (!main_) return;
    std::vector<FileHit> hits = PresentSelection();
    std::erase_if(hits, [](const FileHit& h) { return h.Path.size() <= 3; });
    if (hits.empty()) return;
    GlobalState& g = Global();
    if (AskYesNo(FilesConfirmText("削除", hits, "", g.UseRecycleBin != 0), MB_ICONQUESTION | MB_DEFBUTTON2) != ID_YES)
        return;
    TFMprogress* progress = main_->Progress;
    progress->Start(QStringLiteral(" 削除中..."));
    bool ok = true;
    uint64_t done = 0;
    std::vector<std::string> errors, gone;
    for (const FileHit& h : hits) {
        if (progress->Cancelled()) break;
        const platform::FileOperationResult result = DeleteItem(h.Path, g.UseRecycleBin != 0, progress);
        ok = result.ok && ok;
        for (std::string& line : OperationErrorLines(result)) errors.push_back(std::move(line));
        done += progress->ItemsDone();
        if (!Exists(h.Path)) gone.push_back(h.Path);
    }
    progress->Finish();
    Forget(gone);
    Report(ok, progress->Cancelled(), done, errors, "削除");
    if (g.RemeasureAfterAction) {
        main_->MMmesdrvClick();
        Refresh();
    } else {
        main_->RefreshFromDisk();
    }
}

void TFMfiles::PopupAt(const QPoint& globalPos) {
    const std::vector<FileHit> hits = SelectedHits();
    const bool one = hits.size() == 1, any = !hits.empty();
    PMopen->setEnabled(one);
    PMshow->setEnabled(one);
    PMexp->setEnabled(one);
    PMpty->setEnabled(one);
    for (QAction* a : {PMcpy, PMmov, PMdel}) a->setEnabled(any);
    PMfiles->popup(globalPos);
}

bool TFMfiles::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LVlist && event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        switch (ke->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: OpenSelected(); return true;
        case Qt::Key_Delete: DeleteSelected(); return true;
        case Qt::Key_Menu: {
            QTreeWidgetItem* current = LVlist->currentItem();
            const QRect r = current ? LVlist->visualItemRect(current) : QRect();
            PopupAt(LVlist->viewport()->mapToGlobal(current ? r.center() : QPoint(0, 0)));
            return true;
        }
        default: break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFMfiles::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isVisible() || !isActiveWindow()) return;
    // Coming back after a measurement or another drive in the main window
    // shows what the main window shows now.
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->RootPath.empty()) return;
    if (!index_ || drive->RootPath[0] != index_->Letter() || CacheHeaderLine(*drive) != index_->CacheHeader()) Refresh();
}

void TFMfiles::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        event->accept();
        Refresh();
        return;
    }
    // Enter in a box applies it at once instead of closing the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        RunQuery();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace nrvs
