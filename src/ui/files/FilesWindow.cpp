#include "ui/files/FilesWindow.h"
#include "ui/Locale.h"

#include "ui/ReportLists.h"

#include "core/cache/Cache.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "core/GoneFiles.h"
#include "lib/DirectoryListing.h"
#include "lib/ItemOperations.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
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
constexpr int kValueRole = Qt::UserRole + 2; // the number a size or date column sorts by
constexpr int kHitRole = Qt::UserRole + 3;   // sizes and time of the hit, for the questions

QString Q(const std::string& bytes) {
    return ShownText(bytes);
}
std::string PathOf(const QTreeWidgetItem* item) {
    return item->data(C_NAME, kPathRole).toByteArray().toStdString();
}

// Sizes and dates sort by their numbers, names as the desktop sorts them
// (case ignored), every tie by the path so the order never depends on the
// order before.
class FileItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : C_SIZE;
        if (column == C_SIZE || column == C_OCCUPIED || column == C_MODIFIED) {
            const qint64 a = data(column, kValueRole).toLongLong(),
                         b = other.data(column, kValueRole).toLongLong();
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

int KeyColumn(int key) {
    return key == FILE_KEY_OCCUPIED ? C_OCCUPIED : key == FILE_KEY_MODIFIED ? C_MODIFIED : C_SIZE;
}

} // namespace

FilesWindow::FilesWindow(MainWindow* main)
    : ReportWindow(main, "FilesWindow", QStringLiteral(" 大きいファイル"), 820, 540) {
    auto* top = new QGridLayout;
    top->setHorizontalSpacing(4);
    top->setVerticalSpacing(3);

    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName("nameEdit");
    nameEdit->setPlaceholderText(QStringLiteral("名前 (* と ? が使えます)"));
    nameEdit->setClearButtonEnabled(true);
    pathSearchCheck = new QCheckBox(QStringLiteral("パスも検索"), this);
    pathSearchCheck->setObjectName("pathSearchCheck");
    MakeWholeDriveCheck();
    sortCombo = new QComboBox(this);
    sortCombo->setObjectName("sortCombo");
    for (int i = 0; i < 3; ++i)
        sortCombo->addItem(QString::fromUtf8(FilesKeyText(i)));
    countCombo = new QComboBox(this);
    countCombo->setObjectName("countCombo");
    for (int i = 0; i < kFilesCounts; ++i)
        countCombo->addItem(QString::fromUtf8(FilesCountText(i)));
    auto* nameLabel = new QLabel(QStringLiteral("名前"), this);
    top->addWidget(nameLabel, 0, 0);
    top->addWidget(nameEdit, 0, 1, 1, 3);
    top->addWidget(pathSearchCheck, 0, 4);
    top->addWidget(wholeDriveCheck, 0, 5);
    top->addWidget(sortCombo, 0, 6);
    top->addWidget(countCombo, 0, 7);

    extensionEdit = new QLineEdit(this);
    extensionEdit->setObjectName("extensionEdit");
    extensionEdit->setPlaceholderText(QStringLiteral("jpg, png"));
    minimumSizeEdit = new QLineEdit(this);
    minimumSizeEdit->setObjectName("minimumSizeEdit");
    minimumSizeEdit->setFixedWidth(70);
    unitCombo = new QComboBox(this);
    unitCombo->setObjectName("unitCombo");
    for (int i = 0; i < kFilesUnits; ++i)
        unitCombo->addItem(QString::fromUtf8(FilesUnitText(i)));
    dateCombo = new QComboBox(this);
    dateCombo->setObjectName("dateCombo");
    for (int i = 0; i < kFilesDateModes; ++i)
        dateCombo->addItem(QString::fromUtf8(FilesDateText(i)));
    dateEdit = new QLineEdit(this);
    dateEdit->setObjectName("dateEdit");
    dateEdit->setFixedWidth(90);
    MakeRefreshButton(QStringLiteral("最新の計測結果で一覧を作り直します (F5)"));
    auto* filters = new QHBoxLayout;
    filters->setSpacing(4);
    filters->addWidget(new QLabel(QStringLiteral("拡張子"), this));
    filters->addWidget(extensionEdit, 1);
    filters->addWidget(new QLabel(QStringLiteral("最小サイズ"), this));
    filters->addWidget(minimumSizeEdit);
    filters->addWidget(unitCombo);
    filters->addWidget(new QLabel(QStringLiteral("更新日時"), this));
    filters->addWidget(dateCombo);
    filters->addWidget(dateEdit);
    filters->addWidget(refreshButton);
    top->addLayout(filters, 1, 0, 1, 8);
    top->setColumnStretch(1, 1);
    layout_->addLayout(top);
    AddStateLabel();

    reportList = MakeReportList(this,
                                {QStringLiteral("名前"), QStringLiteral("フォルダ"),
                                 QStringLiteral("容量"), QStringLiteral("占有量"),
                                 QStringLiteral("更新日時"), QStringLiteral("種類")},
                                QAbstractItemView::ExtendedSelection);
    reportList->setContextMenuPolicy(Qt::CustomContextMenu);
    reportList->setIconSize(QSize(16, 16));
    // The folder column takes the width the others leave.
    GiveSpareWidthTo(reportList, 1, 160);
    reportList->setSortingEnabled(true);
    reportList->sortByColumn(C_SIZE, Qt::DescendingOrder);
    reportList->installEventFilter(this);
    layout_->addWidget(reportList, 1);

    popupMenu = new QMenu(this);
    popupMenu->setObjectName("popupMenu");
    auto item = [this](const char* name, const QString& caption, int image) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        if (image >= 0) a->setIcon(ImageIcon(image));
        popupMenu->addAction(a);
        return a;
    };
    openAction = item("openAction", QStringLiteral("開く(&O)"), 32);
    showFolderAction = item("showFolderAction", QStringLiteral("フォルダを表示(&S)"), 7);
    fileManagerAction = item("fileManagerAction", QStringLiteral("エクスプローラ(&E)..."), 31);
    popupMenu->addSeparator();
    copyAction = item("copyAction", QStringLiteral("コピー(&C)..."), 15);
    moveAction = item("moveAction", QStringLiteral("移動(&M)..."), 16);
    deleteAction = item("deleteAction", QStringLiteral("削除(&D)"), 17);
    popupMenu->addSeparator();
    propertiesAction = item("propertiesAction", QStringLiteral("プロパティ(&P)..."), 26);
    connect(openAction, &QAction::triggered, this, &FilesWindow::OpenSelected);
    connect(showFolderAction, &QAction::triggered, this, &FilesWindow::ShowInMain);
    connect(fileManagerAction, &QAction::triggered, this, &FilesWindow::ExplorerSelected);
    connect(copyAction, &QAction::triggered, this, [this] { CopySelected(1); });
    connect(moveAction, &QAction::triggered, this, [this] { CopySelected(0); });
    connect(deleteAction, &QAction::triggered, this, &FilesWindow::DeleteSelected);
    connect(propertiesAction, &QAction::triggered, this, &FilesWindow::PropertiesSelected);
    connect(reportList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupAt(reportList->viewport()->mapToGlobal(pos)); });
    connect(reportList, &QTreeWidget::itemDoubleClicked, this, [this] { ShowInMain(); });

    // Typing waits a moment, so that a quick word costs one query; an older
    // query still running is cancelled by the newer one anyway.
    queryTimer = new QTimer(this);
    queryTimer->setObjectName("queryTimer");
    queryTimer->setSingleShot(true);
    queryTimer->setInterval(150);
    connect(queryTimer, &QTimer::timeout, this, &FilesWindow::RunQuery);
    for (QLineEdit* e : {nameEdit, extensionEdit, minimumSizeEdit, dateEdit}) {
        connect(e, &QLineEdit::textChanged, this, &FilesWindow::Requery);
        e->installEventFilter(this);
    }
    WatchFilters({countCombo, unitCombo, dateCombo}, {pathSearchCheck, wholeDriveCheck},
                 [this] { Requery(); });
    connect(sortCombo, &QComboBox::currentIndexChanged, this, [this](int key) {
        // A new key brings its own top rows, shown largest first.
        reportList->sortByColumn(KeyColumn(key), Qt::DescendingOrder);
        Requery();
    });
    connect(dateCombo, &QComboBox::currentIndexChanged, this, [this](int mode) {
        dateEdit->setEnabled(mode != DATE_ANY);
        dateEdit->setPlaceholderText(mode == DATE_OLDER_DAYS ? QStringLiteral("日数")
                                                             : QStringLiteral("2026/12/07"));
    });
    dateEdit->setEnabled(false);
    connect(refreshButton, &QPushButton::clicked, this, &FilesWindow::Refresh);
}

FilesWindow::~FilesWindow() {
    StopWorker();
}

void FilesWindow::OpenLargest() {
    Open(false);
}
void FilesWindow::OpenSearch() {
    Open(true);
}

void FilesWindow::OpenLargestWithExtension(const std::string& extensions, bool wholeDrive) {
    // The kept settings are read first, or the first showing would put the
    // kept filter back over the asked one.
    if (!loaded_) LoadSettings();
    {
        const QSignalBlocker b1(extensionEdit), b2(wholeDriveCheck);
        extensionEdit->setText(Q(extensions));
        wholeDriveCheck->setChecked(wholeDrive);
    }
    Open(false);
}

void FilesWindow::Open(bool search) {
    search_ = search;
    setWindowTitle(search ? QStringLiteral(" 検索") : QStringLiteral(" 大きいファイル"));
    Present(search ? static_cast<QWidget*>(nameEdit) : reportList);
    if (search) nameEdit->selectAll();
}

void FilesWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;
    StopWorker();
    queryTimer->stop();
    SaveSettings();
}

void FilesWindow::LoadSettings() {
    loaded_ = true;
    const FilesSettings s = LoadFilesSettings(FilesSettingsName());
    if (!RestorePlace(s) && main_) setGeometry(main_->geometry().adjusted(32, 32, -32, -32));
    RestoreColumns(s);
    // Filling the boxes is no user's change: one query follows at the end.
    const QSignalBlocker b1(sortCombo), b2(countCombo), b3(wholeDriveCheck), b4(pathSearchCheck),
        b5(extensionEdit), b6(minimumSizeEdit), b7(unitCombo), b8(dateEdit);
    sortCombo->setCurrentIndex(s.KeyIndex);
    reportList->sortByColumn(KeyColumn(s.KeyIndex), Qt::DescendingOrder);
    countCombo->setCurrentIndex(s.CountIndex);
    wholeDriveCheck->setChecked(s.WholeDrive);
    pathSearchCheck->setChecked(s.OnPath);
    extensionEdit->setText(Q(s.Extensions));
    minimumSizeEdit->setText(Q(s.MinSize));
    unitCombo->setCurrentIndex(s.UnitIndex);
    dateCombo->setCurrentIndex(s.DateMode); // not blocked: the date box follows the mode
    dateEdit->setText(Q(s.DateText));
}

void FilesWindow::SaveSettings() {
    FilesSettings s;
    KeepPlace(s);
    s.KeyIndex = sortCombo->currentIndex();
    s.CountIndex = countCombo->currentIndex();
    s.WholeDrive = wholeDriveCheck->isChecked();
    s.OnPath = pathSearchCheck->isChecked();
    s.Extensions = extensionEdit->text().toStdString();
    s.MinSize = minimumSizeEdit->text().toStdString();
    s.UnitIndex = unitCombo->currentIndex();
    s.DateMode = dateCombo->currentIndex();
    s.DateText = dateEdit->text().toStdString();
    if (!SaveFilesSettings(s, FilesSettingsName())) TellSaveFailed(FilesSettingsName());
}

void FilesWindow::Refresh() {
    StopWorker();
    index_.reset();
    RunQuery();
}

void FilesWindow::Requery() {
    if (isVisible()) queryTimer->start();
}

void FilesWindow::StopWorker() {
    if (cancel_) cancel_->store(true);
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
}

void FilesWindow::RunQuery() {
    queryTimer->stop();
    // Whatever is running now answers a question nobody asks any more.
    StopWorker();
    const unsigned generation = ++generation_;
    if (!EnsureIndex()) {
        reportList->clear();
        ++queries_;
        return;
    }
    FileQuery q;
    FilesFilter f;
    f.Extensions = extensionEdit->text().toStdString();
    f.MinSize = minimumSizeEdit->text().toStdString();
    f.UnitIndex = unitCombo->currentIndex();
    f.DateMode = dateCombo->currentIndex();
    f.DateText = dateEdit->text().toStdString();
    f.Now = static_cast<int64_t>(std::time(nullptr));
    std::string why;
    if (!ApplyFilesFilter(f, q, &why)) {
        reportList->clear();
        ShowState(Q(why));
        ++queries_;
        return;
    }
    if (!wholeDriveCheck->isChecked() && !below_.empty() && below_[0] == index_->Letter()) {
        if (index_->FindFolder(below_) < 0) {
            reportList->clear();
            ShowState(
                Q(below_ +
                  " は計測されていません。フォルダを計測するか「ドライブ全体」を選んでください。"));
            ++queries_;
            return;
        }
        q.Below = below_;
    }
    q.Key = static_cast<FileKey>(sortCombo->currentIndex());
    q.Top = FilesTopCount(countCombo->currentIndex());
    q.Name = nameEdit->text().toStdString();
    q.OnPath = pathSearchCheck->isChecked();
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
        QMetaObject::invokeMethod(
            this, [this, generation, hits] { Deliver(generation, hits); }, Qt::QueuedConnection);
    });
}

void FilesWindow::Deliver(unsigned generation, std::shared_ptr<std::vector<FileHit>> hits) {
    if (generation != generation_) return;
    if (worker_.joinable()) worker_.join();
    cancel_.reset();
    if (index_ && !index_->Intact()) {
        // Cut short while it was read: opened again at the next refresh, and refused.
        reportList->clear();
        index_.reset();
        ShowState(Q(std::string(FileIndex::CutShortText()) + "ドライブを計測し直してください。"));
        ++queries_;
        return;
    }
    Fill(*hits);
    const std::string scope =
        ScopeText(wholeDriveCheck->isChecked() ? std::string() : below_, index_->Letter());
    ShowState(Q(FormatText("%s の %zu 件", scope.c_str(), hits->size())) +
              (hits->size() >= FilesTopCount(countCombo->currentIndex())
                   ? QStringLiteral(" (上位のみ)")
                   : QString()));
    ++queries_;
}

void FilesWindow::Fill(const std::vector<FileHit>& hits) {
    const int column = reportList->header()->sortIndicatorSection();
    const Qt::SortOrder order = reportList->header()->sortIndicatorOrder();
    reportList->setSortingEnabled(false);
    reportList->clear();
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
        item->setData(
            C_NAME, kHitRole,
            QVariantList{qulonglong(h.Size), qulonglong(h.Occupied), qlonglong(h.ModifiedTime)});
        item->setText(C_FOLDER, Q(HitFolder(h.Path)));
        item->setText(C_SIZE, Q(FormatSizeText(static_cast<double>(h.Size))));
        item->setData(C_SIZE, kValueRole, qlonglong(h.Size));
        item->setText(C_OCCUPIED, Q(FormatSizeText(static_cast<double>(h.Occupied))));
        item->setData(C_OCCUPIED, kValueRole, qlonglong(h.Occupied));
        item->setText(C_MODIFIED, h.IsFolder && h.ModifiedTime == 0
                                      ? QString()
                                      : Q(FileTimeText(h.ModifiedTime)));
        item->setData(C_MODIFIED, kValueRole, qlonglong(h.ModifiedTime));
        item->setText(C_KIND, Q(FileKindText(name, h.IsFolder)));
        for (int c : {C_SIZE, C_OCCUPIED})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(C_NAME, Q(h.Path));
        items << item;
    }
    reportList->addTopLevelItems(items);
    // The kind column grows to its widest kind ("DOCX ファイル" not cut);
    // the folder column, which takes the spare width, gives way.
    const int kindWidth = reportList->columnWidth(C_KIND);
    reportList->resizeColumnToContents(C_KIND);
    if (reportList->columnWidth(C_KIND) < kindWidth) reportList->setColumnWidth(C_KIND, kindWidth);
    reportList->setSortingEnabled(true);
    reportList->sortByColumn(column, order);
}

std::vector<FileHit> FilesWindow::SelectedHits() const {
    std::vector<FileHit> out;
    // In the order the rows are shown, not the order they were clicked.
    for (int i = 0; i < reportList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = reportList->topLevelItem(i);
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

void FilesWindow::Forget(const std::vector<std::string>& paths,
                         const std::vector<uint32_t>* namesBefore) {
    if (paths.empty()) return;
    // The index's flags are written in place; no query may read them meanwhile.
    const bool wasRunning = worker_.joinable();
    StopWorker();
    // Before the flags are set: a file already marked gone is taken off no more.
    if (namesBefore && main_) {
        std::vector<RemovedItem> removed;
        for (size_t i = 0; i < paths.size() && i < namesBefore->size(); ++i)
            removed.push_back({paths[i], (*namesBefore)[i]});
        main_->ForgetRemovedTotals(removed);
    }
    const DriveRecord* drive = Global().CurrentDrive;
    for (const std::string& p : paths) {
        if (index_ && index_->IsOpen() && !p.empty() && p[0] == index_->Letter())
            MarkGoneInIndex(indexFile_, index_.get(), p, index_->CacheHeader());
        else if (drive && !p.empty() && p[0] == drive->RootPath[0])
            MarkGoneInIndex(FileIndexName(*drive), nullptr, p, CacheHeaderLine(*drive));
    }
    for (int i = reportList->topLevelItemCount() - 1; i >= 0; --i) {
        const std::string path = PathOf(reportList->topLevelItem(i));
        for (const std::string& p : paths) {
            // A folder that went takes the rows below it along.
            const bool below = p.back() == '\\' && path.compare(0, p.size(), p) == 0;
            if (path == p || below) {
                delete reportList->takeTopLevelItem(i);
                break;
            }
        }
    }
    if (wasRunning) RunQuery();
}

std::vector<FileHit> FilesWindow::PresentSelection() {
    std::vector<FileHit> present;
    std::vector<std::string> vanished;
    for (FileHit& h : SelectedHits()) {
        if (Exists(h.Path))
            present.push_back(std::move(h));
        else
            vanished.push_back(h.Path);
    }
    if (!vanished.empty()) {
        Forget(vanished);
        ShowMessageBox(VanishedText(vanished), MB_ICONINFORMATION);
    }
    return present;
}

void FilesWindow::OpenSelected() {
    QTreeWidgetItem* current = reportList->currentItem();
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

void FilesWindow::ShowInMain() {
    QTreeWidgetItem* current = reportList->currentItem();
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
            main_->folderList->setFocus();
            main_->folderList->selectRow(static_cast<int>(i));
            main_->folderList->scrollTo(main_->folderList->model()->index(static_cast<int>(i), 0));
            break;
        }
    }
    main_->raise();
    main_->activateWindow();
}

void FilesWindow::ExplorerSelected() {
    QTreeWidgetItem* current = reportList->currentItem();
    if (!current) return;
    const std::string path = PathOf(current);
    if (!Exists(path)) {
        Forget({path});
        ShowMessageBox(VanishedText({path}), MB_ICONINFORMATION);
        return;
    }
    OpenProgramPath(current->data(C_NAME, kFolderRole).toBool() ? path : HitFolder(path));
}

void FilesWindow::PropertiesSelected() {
    QTreeWidgetItem* current = reportList->currentItem();
    if (!current || !main_) return;
    const std::string path = PathOf(current);
    if (!Exists(path) || !main_->Properties->Load(path)) {
        Forget({path});
        ShowMessageBox(VanishedText({path}), MB_ICONINFORMATION);
        return;
    }
    main_->Properties->exec();
}

void FilesWindow::CopySelected(int tag) {
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
    if (AskYesNo(FilesConfirmText(verb, hits, dest, Global().UseRecycleBin != 0),
                 MB_ICONQUESTION) != ID_YES)
        return;
    ProgressDialog* progress = main_->Progress;
    progress->Start(QString::fromUtf8(tag == 1 ? " コピー中..." : " 移動中..."));
    bool ok = true;
    uint64_t done = 0;
    std::vector<std::string> errors, gone;
    std::vector<uint32_t> names;
    for (const FileHit& h : hits) {
        if (progress->Cancelled()) break;
        const uint32_t before = tag == 1 ? 1 : NamesOfFile(h.Path);
        const platform::FileOperationResult result =
            tag == 1 ? CopyItem(h.Path, dest, progress) : MoveItem(h.Path, dest, progress);
        ok = result.ok && ok;
        for (std::string& line : OperationErrorLines(result))
            errors.push_back(std::move(line));
        done += progress->ItemsDone();
        if (tag == 0 && !Exists(h.Path)) gone.push_back(h.Path), names.push_back(before);
    }
    progress->Finish();
    Forget(gone, &names);
    ReportFileOperation(ok, progress->Cancelled(), done, errors, verb);
    if (Global().RemeasureAfterAction) {
        main_->onMeasureDrive();
        Refresh();
    } else if (!gone.empty()) {
        main_->RefreshFromDisk();
    }
}

void FilesWindow::DeleteSelected() {
    if (!main_) return;
    std::vector<FileHit> hits = PresentSelection();
    std::erase_if(hits, [](const FileHit& h) { return h.Path.size() <= 3; });
    if (hits.empty()) return;
    GlobalState& g = Global();
    if (AskYesNo(FilesConfirmText("削除", hits, "", g.UseRecycleBin != 0),
                 MB_ICONQUESTION | MB_DEFBUTTON2) != ID_YES)
        return;
    ProgressDialog* progress = main_->Progress;
    progress->Start(QStringLiteral(" 削除中..."));
    bool ok = true;
    uint64_t done = 0;
    std::vector<std::string> errors, gone;
    std::vector<uint32_t> names;
    for (const FileHit& h : hits) {
        if (progress->Cancelled()) break;
        const uint32_t before = NamesOfFile(h.Path);
        const platform::FileOperationResult result =
            DeleteItem(h.Path, g.UseRecycleBin != 0, progress);
        ok = result.ok && ok;
        for (std::string& line : OperationErrorLines(result))
            errors.push_back(std::move(line));
        done += progress->ItemsDone();
        if (!Exists(h.Path)) gone.push_back(h.Path), names.push_back(before);
    }
    progress->Finish();
    Forget(gone, &names);
    ReportFileOperation(ok, progress->Cancelled(), done, errors, "削除");
    if (g.RemeasureAfterAction) {
        main_->onMeasureDrive();
        Refresh();
    } else {
        main_->RefreshFromDisk();
    }
}

void FilesWindow::PopupAt(const QPoint& globalPos) {
    const std::vector<FileHit> hits = SelectedHits();
    const bool one = hits.size() == 1, any = !hits.empty();
    openAction->setEnabled(one);
    showFolderAction->setEnabled(one);
    fileManagerAction->setEnabled(one);
    propertiesAction->setEnabled(one);
    for (QAction* a : {copyAction, moveAction, deleteAction})
        a->setEnabled(any);
    popupMenu->popup(globalPos);
}

bool FilesWindow::eventFilter(QObject* watched, QEvent* event) {
    // Down in a search box goes on into the results, onto the first file.
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down &&
        reportList->topLevelItemCount() > 0) {
        reportList->setFocus(Qt::TabFocusReason);
        reportList->setCurrentItem(reportList->topLevelItem(0));
        return true;
    }
    if (watched == reportList && event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        switch (ke->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            OpenSelected();
            return true;
        case Qt::Key_Delete:
            DeleteSelected();
            return true;
        case Qt::Key_Menu: {
            QTreeWidgetItem* current = reportList->currentItem();
            const QRect r = current ? reportList->visualItemRect(current) : QRect();
            PopupAt(reportList->viewport()->mapToGlobal(current ? r.center() : QPoint(0, 0)));
            return true;
        }
        default:
            break;
        }
    }
    return ReportWindow::eventFilter(watched, event);
}

void FilesWindow::keyPressEvent(QKeyEvent* event) {
    // Enter in a box applies it at once instead of closing the window.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        RunQuery();
        return;
    }
    ReportWindow::keyPressEvent(event);
}

} // namespace nrvs
