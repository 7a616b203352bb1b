#include "ui/changes/ChangesWindow.h"

#include "ui/ReportLists.h"

#include "core/cache/Cache.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "ui/main/MainWindow.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace nrvs {

namespace {

enum Column {
    C_PATH = 0,
    C_SIZE_CHANGE,
    C_SIZE_BEFORE,
    C_SIZE_AFTER,
    C_OCC_CHANGE,
    C_OCC_BEFORE,
    C_OCC_AFTER,
    C_FILES_CHANGE,
    C_FILES_BEFORE,
    C_FILES_AFTER,
    C_COLUMNS
};
enum FileColumn { F_PATH = 0, F_CHANGE, F_BEFORE, F_AFTER };
constexpr int kPathRole = Qt::UserRole;      // the program path's bytes
constexpr int kValueRole = Qt::UserRole + 1; // the number a column sorts by
constexpr int kThereRole = Qt::UserRole + 2; // whether the folder is there now

const int kCounts[] = {100, 1000, 10000, 0};
constexpr int kLeastPathWidth = 200;

QString Q(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Numbers sort as numbers (a missing one below every other), paths as text.
class ChangeItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == 0) return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
        const QVariant a = data(column, kValueRole), b = other.data(column, kValueRole);
        if (a.isValid() != b.isValid()) return !a.isValid();
        return a.toDouble() < b.toDouble();
    }
};

void SetNumber(QTreeWidgetItem* item, int column, bool there, double value, bool size) {
    if (!there) return; // the folder or file was not there: an empty cell
    item->setText(column,
                  Q(size ? FormatSizeText(value, Global().SizeUnit) : GroupedNumber(value, 0)));
    item->setData(column, kValueRole, value);
    item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
}

void SetChange(QTreeWidgetItem* item, int column, double delta, bool size) {
    item->setText(column,
                  Q(size ? SignedSizeText(delta, Global().SizeUnit) : SignedCountText(delta)));
    item->setData(column, kValueRole, delta);
    item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    // Growth and shrinkage in the colours of the main list's column.
    if (delta != 0)
        item->setForeground(column,
                            delta > 0 ? QColor(0xC0, 0x30, 0x20) : QColor(0x20, 0x60, 0xC0));
}

// "yyyy/mm/dd hh:nn:ss" of a header line.
std::string DateOf(const std::string& header) {
    return header.substr(0, header.find('='));
}

} // namespace

ChangesWindow::ChangesWindow(MainWindow* main)
    : ReportWindow(main, "ChangesWindow", QStringLiteral(" 変化"), 900, 560) {
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    kindCombo = new QComboBox(this);
    kindCombo->setObjectName("kindCombo");
    kindCombo->addItems({QStringLiteral("すべての変化"), QStringLiteral("増えたフォルダ"),
                         QStringLiteral("減ったフォルダ"), QStringLiteral("新しいフォルダ"),
                         QStringLiteral("なくなったフォルダ")});
    keyCombo = new QComboBox(this);
    keyCombo->setObjectName("keyCombo");
    keyCombo->addItems(
        {QStringLiteral("容量で"), QStringLiteral("占有量で"), QStringLiteral("ファイル数で")});
    countCombo = new QComboBox(this);
    countCombo->setObjectName("countCombo");
    countCombo->addItems({QStringLiteral("上位 100"), QStringLiteral("上位 1000"),
                          QStringLiteral("上位 10000"), QStringLiteral("すべて")});
    MakeWholeDriveCheck();
    MakeRefreshButton(QStringLiteral("前回と今回の計測結果を比べ直します (F5)"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{kindCombo, keyCombo, countCombo, wholeDriveCheck})
        top->addWidget(w);
    top->addStretch(1);
    top->addWidget(refreshButton);
    layout_->addLayout(top);
    AddStateLabel();

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("splitter");
    reportList = MakeReportList(
        split,
        {QStringLiteral("フォルダ"), QStringLiteral("増減"), QStringLiteral("前回"),
         QStringLiteral("今回"), QStringLiteral("占有量の増減"), QStringLiteral("前回の占有量"),
         QStringLiteral("今回の占有量"), QStringLiteral("ファイル数の増減"),
         QStringLiteral("前回のファイル数"), QStringLiteral("今回のファイル数")},
        QAbstractItemView::SingleSelection);
    reportList->header()->setStretchLastSection(false);
    // Each figure column as wide as its heading needs in the font in use;
    // the folder column takes what they leave, and the window is first as
    // wide as all of them need (as the screen allows).
    int figures = 0;
    for (int c = 1; c < C_COLUMNS; ++c) {
        const QString heading = reportList->headerItem()->text(c);
        const int needed = reportList->header()->fontMetrics().horizontalAdvance(heading) + 24;
        reportList->header()->resizeSection(c, std::max(90, needed));
        figures += reportList->header()->sectionSize(c);
    }
    GiveSpareWidthTo(reportList, C_PATH, kLeastPathWidth);
    auto* lower = new QWidget(split);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(2);
    filesLabel = new QLabel(lower);
    filesLabel->setObjectName("filesLabel");
    filesLabel->setTextFormat(Qt::PlainText);
    fileList = MakeReportList(lower,
                              {QStringLiteral("ファイル"), QStringLiteral("増減"),
                               QStringLiteral("前回"), QStringLiteral("今回")},
                              QAbstractItemView::SingleSelection);
    GiveSpareWidthTo(fileList, F_PATH, kLeastPathWidth);
    lowerLayout->addWidget(filesLabel);
    lowerLayout->addWidget(fileList, 1);
    split->addWidget(reportList);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout_->addWidget(split, 1);
    const int margins = layout_->contentsMargins().left() + layout_->contentsMargins().right() +
                        2 * reportList->frameWidth() +
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, reportList);
    int room = kLeastPathWidth + figures + margins;
    if (const QScreen* screen = main ? main->screen() : QGuiApplication::primaryScreen())
        room = std::min(room, screen->availableGeometry().width() * 9 / 10);
    resize(std::max(width(), room), height());
    for (QTreeWidget* list : {reportList, fileList})
        list->setSortingEnabled(true);

    WatchFilters({kindCombo, keyCombo, countCombo}, {wholeDriveCheck}, [this] {
        if (isVisible()) Fill();
    });
    connect(refreshButton, &QPushButton::clicked, this, &ChangesWindow::Refresh);
    connect(reportList, &QTreeWidget::itemSelectionChanged, this, &ChangesWindow::FillFiles);
    connect(reportList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ShowInMain(item); });
}

ChangesWindow::~ChangesWindow() = default;

void ChangesWindow::OpenChanges() {
    Present(reportList);
}

void ChangesWindow::Refresh() {
    Fill();
}

void ChangesWindow::Fill() {
    reportList->setSortingEnabled(false);
    reportList->clear();
    fileList->clear();
    filesLabel->clear();
    before_.Close();
    after_.Close();
    shownHeader_.clear();
    setWindowTitle(QStringLiteral(" 変化"));
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->RootPath.empty()) {
        stateLabel->setText(QStringLiteral("ドライブが選ばれていません。"));
        return;
    }
    const char letter = drive->RootPath[0];
    Measurement current, previous;
    std::time_t stamped = 0;
    if (!current.Map(CacheFileName(*drive)) || !HeaderStart(current.Header(), stamped)) {
        stateLabel->setText(QStringLiteral("このドライブは計測されていません。"));
        return;
    }
    PreviousFault fault;
    const PreviousState state = LoadPrevious(letter, current.Header(), previous, &fault);
    if (state != PREVIOUS_OK) {
        stateLabel->setText(Q(PreviousStateText(state, letter, fault)));
        return;
    }
    shownHeader_ = current.Header();
    setWindowTitle(
        Q(" 変化 - 前回 " + DateOf(previous.Header()) + " → 今回 " + DateOf(current.Header())));
    const bool whole = wholeDriveCheck->isChecked() || below_.empty() || below_[0] != letter;
    const std::string below = whole ? std::string() : below_;
    const ChangeKey key = static_cast<ChangeKey>(keyCombo->currentIndex());
    static const unsigned kinds[] = {CHANGE_ALL, CHANGE_GROWN, CHANGE_SHRUNK, CHANGE_NEW,
                                     CHANGE_REMOVED};
    const int kindIndex = std::clamp(kindCombo->currentIndex(), 0, 4);
    std::vector<FolderChange> changes = CompareMeasurements(previous, current, below);
    const size_t found = changes.size();
    RankChanges(changes, key, kinds[kindIndex],
                static_cast<size_t>(kCounts[std::clamp(countCombo->currentIndex(), 0, 3)]));

    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(changes.size()));
    for (const FolderChange& c : changes) {
        auto* item = new ChangeItem;
        const std::string path(c.Path);
        item->setText(C_PATH, Q(path));
        item->setData(C_PATH, kPathRole, QByteArray::fromStdString(path));
        item->setData(C_PATH, kThereRole, c.After);
        if (!c.Before) item->setToolTip(C_PATH, QStringLiteral("新しいフォルダ"));
        if (!c.After) item->setToolTip(C_PATH, QStringLiteral("なくなったフォルダ"));
        SetChange(item, C_SIZE_CHANGE, c.Delta(CHANGE_KEY_SIZE), true);
        SetNumber(item, C_SIZE_BEFORE, c.Before, c.Old.Size, true);
        SetNumber(item, C_SIZE_AFTER, c.After, c.New.Size, true);
        SetChange(item, C_OCC_CHANGE, c.Delta(CHANGE_KEY_OCCUPIED), true);
        SetNumber(item, C_OCC_BEFORE, c.Before, c.Old.Occupied, true);
        SetNumber(item, C_OCC_AFTER, c.After, c.New.Occupied, true);
        SetChange(item, C_FILES_CHANGE, c.Delta(CHANGE_KEY_FILES), false);
        SetNumber(item, C_FILES_BEFORE, c.Before, static_cast<double>(c.Old.Files), false);
        SetNumber(item, C_FILES_AFTER, c.After, static_cast<double>(c.New.Files), false);
        items << item;
    }
    reportList->addTopLevelItems(items);
    // The rows stay in the order of the change until a heading is clicked.
    reportList->header()->setSortIndicator(-1, Qt::DescendingOrder);
    reportList->setSortingEnabled(true);
    const std::string scope = ScopeText(below, letter);
    stateLabel->setText(
        Q(FormatText("%s 以下で変化したフォルダ %s 個（%s 個を表示）", scope.c_str(),
                     GroupedNumber(static_cast<double>(found), 0).c_str(),
                     GroupedNumber(static_cast<double>(changes.size()), 0).c_str())));
    // The files come from the two indexes, when both belong to their caches.
    std::string why;
    if (!before_.Open(PreviousIndexName(letter), letter, previous.Header(), &why) ||
        !after_.Open(FileIndexName(*drive), letter, current.Header(), &why)) {
        before_.Close();
        after_.Close();
        filesLabel->setText(QStringLiteral(
            "ファイルの変化は、前回と今回の両方の計測にファイルの索引があるときに表示します。"));
    } else {
        filesLabel->setText(QStringLiteral(
            "フォルダを選ぶと、その中で増えた・消えた・大きさの変わったファイルを表示します。"));
    }
    if (!items.isEmpty()) reportList->setCurrentItem(items.front());
}

void ChangesWindow::FillFiles() {
    fileList->setSortingEnabled(false);
    fileList->clear();
    const QList<QTreeWidgetItem*> chosen = reportList->selectedItems();
    if (chosen.isEmpty() || !before_.IsOpen() || !after_.IsOpen()) return;
    const std::string path = chosen.front()->data(C_PATH, kPathRole).toByteArray().toStdString();
    const std::vector<FileChange> files = CompareFileIndexes(before_, after_, path, 1000);
    if (!before_.Intact() || !after_.Intact()) {
        before_.Close();
        after_.Close();
        filesLabel->setText(Q(FileIndex::CutShortText()));
        return;
    }
    QList<QTreeWidgetItem*> items;
    for (const FileChange& f : files) {
        auto* item = new ChangeItem;
        item->setText(F_PATH, Q(f.Path));
        SetChange(item, F_CHANGE, f.Delta(), true);
        SetNumber(item, F_BEFORE, f.Before, static_cast<double>(f.OldSize), true);
        SetNumber(item, F_AFTER, f.After, static_cast<double>(f.NewSize), true);
        items << item;
    }
    fileList->addTopLevelItems(items);
    fileList->header()->setSortIndicator(-1, Qt::DescendingOrder);
    fileList->setSortingEnabled(true);
    filesLabel->setText(Q(FormatText("%s の中で変化したファイル %s 個%s", path.c_str(),
                                     GroupedNumber(static_cast<double>(files.size()), 0).c_str(),
                                     files.size() >= 1000 ? "（変化の大きい 1000 個）" : "")));
}

void ChangesWindow::ShowInMain(const QTreeWidgetItem* item) {
    if (!item || !main_) return;
    const std::string path = item->data(C_PATH, kPathRole).toByteArray().toStdString();
    const uint32_t attributes = platform::GetFileAttributesA(platform::ToNative(path));
    if (attributes == platform::INVALID_FILE_ATTRIBUTES ||
        !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY)) {
        ShowMessageBox(path + " はもうありません。", MB_ICONINFORMATION);
        return;
    }
    main_->OpenPath(path, false);
}

bool ChangesWindow::OutOfDate(const DriveRecord& drive) const {
    return !shownHeader_.empty() && CacheHeaderLine(drive) != shownHeader_;
}

QIcon ChangesIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC0, 0x30, 0x20));
    p.drawPolygon(QPolygon({QPoint(1, 7), QPoint(4, 1), QPoint(7, 7)}));
    p.drawRect(3, 7, 2, 7);
    p.setBrush(QColor(0x20, 0x60, 0xC0));
    p.drawPolygon(QPolygon({QPoint(8, 9), QPoint(11, 15), QPoint(14, 9)}));
    p.drawRect(10, 2, 2, 7);
    return QIcon(pm);
}

} // namespace nrvs
