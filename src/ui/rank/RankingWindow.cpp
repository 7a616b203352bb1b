#include "ui/rank/RankingWindow.h"
#include "ui/ReportLists.h"
#include "ui/WindowLayout.h"
#include "ui/Locale.h"

#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "platform/Paths.h"
#include "ui/ControlStates.h"
#include "ui/main/Images.h"
#include "ui/running/RunningDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace nrvs {

namespace {

const char* const kHints[kRankKeys] = {"フォルダ容量", "フォルダ占有量", "クラスタギャップ",
                                       "ファイル容量", "ファイル占有量", "ファイル数",
                                       "全ファイル数", "フォルダ数",     "全フォルダ数"};
const char* const kHeadings[kRankKeys] = {"容量",         "占有量",         "クラスタギャップ",
                                          "ファイル容量", "ファイル占有量", "ファイル数",
                                          "全ファイル数", "フォルダ数",     "全フォルダ数"};
const char* const kSortItems[kRankKeys] = {
    "容量順",       "占有量順",       "クラスタギャップ順", "ファイル容量順", "ファイル占有量順",
    "ファイル数順", "全ファイル数順", "フォルダ数順",       "全フォルダ数順"};
const char* const kAttrItems[5] = {"アーカイブフォルダ", "隠蔽フォルダ", "読込専用フォルダ",
                                   "システムフォルダ", "ゼロファイルフォルダ"};
const char* const kButtonNames[kRankKeys] = {
    "folderSizeButton",   "folderOccupiedButton", "clusterGapButton",
    "fileSizeButton",     "fileOccupiedButton",   "fileCountButton",
    "allFileCountButton", "folderCountButton",    "allFolderCountButton"};

int ColumnWidth(int column) {
    return column <= 5 ? 100 : 80;
}

constexpr int kPathRole = Qt::UserRole;

QString Shown(const std::string& bytes) {
    return ShownText(bytes);
}
std::string BytesOf(const QVariant& v) {
    return v.toByteArray().toStdString();
}

// A folder or a file, with a mark of the measure: a bar for a size, an
// outlined bar for the occupied size, the gap between them, a tally for a
// direct count and a stack for a whole-subtree count.
QIcon ColumnIcon(int key) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const bool files = key == 3 || key == 4 || key == 5 || key == 6;
    p.drawPixmap(0, 0, ImageIcon(files ? 9 : 7).pixmap(12, 12));
    const QColor ink(0, 0, 160);
    p.setPen(ink);
    switch (key) {
    case 0:
    case 3:
        p.fillRect(9, 10, 7, 5, ink);
        break;
    case 1:
    case 4:
        p.setBrush(QColor(160, 200, 255));
        p.drawRect(9, 9, 6, 6);
        break;
    case 2:
        p.fillRect(8, 11, 4, 4, ink);
        p.setBrush(Qt::NoBrush);
        p.drawRect(8, 10, 7, 5);
        break;
    default: {
        const bool all = key == 6 || key == 8;
        for (int x = 9; x <= 15; x += 2)
            p.drawLine(x, all ? 8 : 11, x, 15);
        if (all) p.drawLine(8, 12, 15, 12);
        break;
    }
    }
    return QIcon(pm);
}

// Value cells: right-aligned numbers on the list's own background, also in
// selected rows, so the selection shows on the folder column alone.
class ValueCellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    // A deep folder keeps its drive and its last folder; the middle goes.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0) ElidePathInCell(option);
    }

  public:
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() == 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QRect cell = option.rect;
        const QWidget* view = option.widget;
        painter->fillRect(cell, view ? view->palette().color(QPalette::Base)
                                     : option.palette.color(QPalette::Base));
        const bool hasIcon = !index.siblingAtColumn(0).data(Qt::DecorationRole).isNull();
        if (cell.width() <= 0 || !hasIcon) return;
        painter->save();
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(QRect(cell.left(), cell.top() + 2, cell.width() - 4, cell.height() - 2),
                          Qt::AlignRight | Qt::AlignTop, index.data().toString());
        painter->restore();
    }
};

// The message line of the running dialog follows the sort, but repainting
// at every hundredth of a million-folder sort's comparisons would cost more
// than the sort; a few times a second is what the eye sees anyway.
class RankUiHooks : public RankHooks {
  public:
    explicit RankUiHooks(RunningDialog& dialog) : dialog_(dialog) {}
    void Message(std::string_view text) override {
        if (shown_ && clock_.elapsed() < 40) return;
        shown_ = true;
        dialog_.SetProgressText(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        QApplication::processEvents();
        clock_.restart();
    }

  private:
    RunningDialog& dialog_;
    QElapsedTimer clock_;
    bool shown_ = false;
};

QListWidgetItem* CheckItem(QListWidget* list, const QString& text) {
    auto* item = new QListWidgetItem(text, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setSizeHint(QSize(0, 14));
    return item;
}

} // namespace

RankingWindow::RankingWindow(QWidget* parent, RunningDialog* running)
    : QDialog(parent), running_(running) {
    setObjectName("RankingWindow");
    setWindowTitle(QStringLiteral(" ランキング"));
    // Modal: a minimised ranking would leave the main window blocked.
    KeepOnlyCloseBox(this, Qt::WindowSystemMenuHint);
    setSizeGripEnabled(true);
    resize(808, 578);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    topPanel = new QWidget(this);
    topPanel->setObjectName("topPanel");
    topPanel->setFixedHeight(26);
    QToolButton** buttons[kRankKeys] = {
        &folderSizeButton,   &folderOccupiedButton, &clusterGapButton,
        &fileSizeButton,     &fileOccupiedButton,   &fileCountButton,
        &allFileCountButton, &folderCountButton,    &allFolderCountButton};
    for (int k = 0; k < kRankKeys; ++k) {
        auto* b = new QToolButton(topPanel);
        b->setObjectName(kButtonNames[k]);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setIcon(ColumnIcon(k));
        b->setToolTip(QString::fromUtf8(kHints[k]));
        b->setGeometry(4 + 24 * k, 2, 23, 22);
        connect(b, &QToolButton::toggled, this, &RankingWindow::ApplyColumnWidths);
        *buttons[k] = b;
    }
    sortCombo = new QComboBox(topPanel);
    sortCombo->setObjectName("sortCombo");
    for (const char* item : kSortItems)
        sortCombo->addItem(QString::fromUtf8(item));
    sortCombo->setGeometry(224, 2, 145, 22);
    countCombo = new QComboBox(topPanel);
    countCombo->setObjectName("countCombo");
    for (int i = 0; i < kRankCounts; ++i)
        countCombo->addItem(QString::fromStdString(RankCountText(i)));
    countCombo->setGeometry(368, 2, 69, 22);
    connect(sortCombo, &QComboBox::currentIndexChanged, this, &RankingWindow::Recompute);
    connect(countCombo, &QComboBox::currentIndexChanged, this, &RankingWindow::Recompute);
    layout->addWidget(topPanel);

    reportList = new QTreeWidget(this);
    reportList->setObjectName("reportList");
    reportList->setColumnCount(1 + kRankKeys);
    reportList->setRootIsDecorated(false);
    reportList->setUniformRowHeights(true);
    reportList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    reportList->setSelectionBehavior(QAbstractItemView::SelectRows);
    reportList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    reportList->setIconSize(QSize(16, 16));
    reportList->setItemDelegate(new ValueCellDelegate(reportList));
    connect(reportList, &QTreeWidget::itemDoubleClicked, this, [this] { ShowSelectedFolder(); });
    QStringList headings{QStringLiteral("フォルダ")};
    for (const char* h : kHeadings)
        headings << QString::fromUtf8(h);
    reportList->setHeaderLabels(headings);
    for (int k = 1; k <= kRankKeys; ++k)
        reportList->headerItem()->setTextAlignment(k, Qt::AlignCenter);
    QHeaderView* header = reportList->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setMinimumSectionSize(0);
    header->resizeSection(0, 240);
    connect(header, &QHeaderView::sectionClicked, this, &RankingWindow::HeaderClicked);
    // Value columns are never wider than their fixed width; a hidden one
    // stays hidden.
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section < 1) return;
        const int allowed = ColumnButtons()[static_cast<size_t>(section - 1)]->isChecked()
                                ? ColumnWidth(section)
                                : 0;
        if (size > allowed) reportList->header()->resizeSection(section, allowed);
    });
    // The folder column takes the width the shown value columns leave.
    GiveSpareWidthTo(reportList, 0, 160);
    layout->addWidget(reportList, 1);

    middlePanel = new QWidget(this);
    middlePanel->setObjectName("middlePanel");
    middlePanel->setFixedHeight(29);
    auto* mid = new QHBoxLayout(middlePanel);
    mid->setContentsMargins(6, 2, 4, 2);
    exclusionsLabel = new QLabel(QStringLiteral("除外フォルダ"), middlePanel);
    exclusionsLabel->setObjectName("exclusionsLabel");
    mid->addWidget(exclusionsLabel);
    mid->addStretch(1);
    excludeButton = new QPushButton(QStringLiteral("ランキングから除外"), middlePanel);
    excludeButton->setObjectName("excludeButton");
    excludeWithSubfoldersButton =
        new QPushButton(QStringLiteral("サブフォルダも除外"), middlePanel);
    excludeWithSubfoldersButton->setObjectName("excludeWithSubfoldersButton");
    includeButton = new QPushButton(QStringLiteral("ランキングに追加"), middlePanel);
    includeButton->setObjectName("includeButton");
    for (QPushButton* b : {excludeButton, excludeWithSubfoldersButton, includeButton}) {
        b->setFixedSize(125, 25);
        b->setAutoDefault(false);
        mid->addWidget(b);
    }
    excludeButton->setProperty("tag", 0);
    excludeWithSubfoldersButton->setProperty("tag", 1);
    connect(excludeButton, &QPushButton::clicked, this, [this] { ExcludeSelected(0); });
    connect(excludeWithSubfoldersButton, &QPushButton::clicked, this,
            [this] { ExcludeSelected(1); });
    connect(includeButton, &QPushButton::clicked, this, &RankingWindow::onInclude);
    layout->addWidget(middlePanel);

    bottomPanel = new QWidget(this);
    bottomPanel->setObjectName("bottomPanel");
    bottomPanel->setFixedHeight(74);
    auto* bottom = new QHBoxLayout(bottomPanel);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(2);
    attributeList = new QListWidget(bottomPanel);
    attributeList->setObjectName("attributeList");
    // 136 pixels, or what the longest entry needs in the font at hand.
    int attrWidth = 136;
    for (const char* a : kAttrItems) {
        CheckItem(attributeList, QString::fromUtf8(a));
        attrWidth = std::max(
            attrWidth, attributeList->fontMetrics().horizontalAdvance(QString::fromUtf8(a)) + 36);
    }
    attributeList->setFixedWidth(attrWidth);
    exclusionList = new QListWidget(bottomPanel);
    exclusionList->setObjectName("exclusionList");
    for (QListWidget* l : {attributeList, exclusionList}) {
        l->setUniformItemSizes(true);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(l, &QListWidget::itemChanged, this, [this] { Recompute(); });
    }
    // Every filter in view: no scroll bar squeezing the boxes of a list of five.
    attributeList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bottomPanel->setFixedHeight(
        std::max(74, attributeList->count() * attributeList->sizeHintForRow(0) +
                         2 * attributeList->frameWidth() + 2));
    bottom->addWidget(attributeList);
    bottom->addWidget(exclusionList, 1);
    layout->addWidget(bottomPanel);

    refreshTimer = new QTimer(this);
    refreshTimer->setObjectName("refreshTimer");
    refreshTimer->setInterval(100);
    connect(refreshTimer, &QTimer::timeout, this, &RankingWindow::Recompute);
}

std::array<QToolButton*, kRankKeys> RankingWindow::ColumnButtons() const {
    return {folderSizeButton,   folderOccupiedButton, clusterGapButton,
            fileSizeButton,     fileOccupiedButton,   fileCountButton,
            allFileCountButton, folderCountButton,    allFolderCountButton};
}

void RankingWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    LoadSettings();
    refreshTimer->start();
}

void RankingWindow::LoadSettings() {
    const DriveRecord* drive = Global().CurrentDrive;
    letter_ = drive && !drive->RootPath.empty() ? drive->RootPath[0] : 0;
    const RankSettings s = letter_ ? LoadRankSettings(RankFileName(letter_)) : RankSettings{};
    // Filling the controls is no user's change: nothing is computed yet.
    const QSignalBlocker b1(sortCombo), b2(countCombo), b3(attributeList), b4(exclusionList);
    reportList->clear();
    exclusionList->clear();
    QList<QAbstractButton*> buttons;
    for (QToolButton* b : ColumnButtons())
        buttons << b;
    for (QAbstractButton* b : buttons)
        b->blockSignals(true);
    SetButtonsState(QString::fromStdString(s.Columns), buttons);
    for (QAbstractButton* b : buttons)
        b->blockSignals(false);
    reportList->header()->resizeSection(0, s.NameWidth);
    sortCombo->setCurrentIndex(s.SortIndex);
    countCombo->setCurrentIndex(s.CountIndex);
    SetCheckListState(QString::fromStdString(s.Filters), attributeList);
    for (const auto& e : s.Exclusions)
        AddExclusion(e.Path, e.WithSubfolders);
    ApplyColumnWidths();
}

void RankingWindow::AddExclusion(const std::string& path, bool withSubfolders) {
    // The item keeps the path's bytes: a name that is no valid UTF-8 must
    // still match its folder after a round through the list.
    QListWidgetItem* item = CheckItem(exclusionList, Shown(path));
    item->setData(kPathRole, QByteArray::fromStdString(path));
    item->setCheckState(withSubfolders ? Qt::Checked : Qt::Unchecked);
}

void RankingWindow::ApplyColumnWidths() {
    const auto buttons = ColumnButtons();
    QHeaderView* header = reportList->header();
    for (int k = 1; k <= kRankKeys; ++k)
        header->resizeSection(k, buttons[static_cast<size_t>(k - 1)]->isChecked() ? ColumnWidth(k)
                                                                                  : 0);
}

RankOptions RankingWindow::Options() const {
    RankOptions o;
    o.SortKey = sortCombo->currentIndex();
    o.Filters = CheckListState(attributeList).toStdString();
    for (int i = 0; i < exclusionList->count(); ++i) {
        const QListWidgetItem* item = exclusionList->item(i);
        o.Exclusions.push_back({BytesOf(item->data(kPathRole)), item->checkState() == Qt::Checked});
    }
    return o;
}

void RankingWindow::Recompute() {
    // A change that arrives while messages are let through before the
    // running dialog is up is computed once this computation is done.
    if (computing_) {
        again_ = true;
        return;
    }
    computing_ = true;
    refreshTimer->stop();
    reportList->clear();
    reportList->setFocus();
    exclusionList->clearSelection();
    exclusionList->setCurrentRow(-1, QItemSelectionModel::Clear);
    attributeList->clearSelection();
    attributeList->setCurrentRow(-1, QItemSelectionModel::Clear);
    QApplication::processEvents();
    const RankOptions options = Options();
    // Only the rows shown are put in order: a change of the row count
    // computes again.
    const size_t top =
        static_cast<size_t>(std::max(RankRowCount(countCombo->currentText().toStdString()), 1));
    auto job = [this, options, top] {
        RankUiHooks hooks(*running_);
        working_.Compute(Global().Folders, options, hooks, top);
    };
    if (running_) {
        running_->PrepareRunning(QStringLiteral(" 整列中..."), false);
        running_->RunJob(job);
    } else {
        job();
    }
    FillList();
    ++computations_;
    computing_ = false;
    if (std::exchange(again_, false)) Recompute();
}

void RankingWindow::FillList() {
    reportList->clear();
    const int n = RankRowCount(countCombo->currentText().toStdString());
    const int unit = Global().SizeUnit;
    const QIcon folder = ImageIcon(7);
    QList<QTreeWidgetItem*> items;
    for (int k = 0; k < n && k < working_.Count(); ++k) {
        const FolderRecord r = working_.RecordAt(k);
        auto* item = new QTreeWidgetItem;
        item->setIcon(0, folder);
        item->setText(0, Shown(RankCaption(k, n, r.Path)));
        item->setToolTip(0, Shown(r.Path));
        item->setData(0, kPathRole, QByteArray::fromStdString(r.Path));
        const auto cells = RankCells(r, unit);
        for (int c = 0; c < kRankKeys; ++c) {
            item->setText(c + 1, QString::fromStdString(cells[static_cast<size_t>(c)]));
            item->setTextAlignment(c + 1, Qt::AlignRight | Qt::AlignVCenter);
        }
        items << item;
    }
    reportList->addTopLevelItems(items);
}

void RankingWindow::ExcludeSelected(int tag) {
    {
        const QSignalBlocker block(exclusionList);
        for (int row = 0; row < reportList->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = reportList->topLevelItem(row);
            if (!item->isSelected()) continue;
            const std::string path = BytesOf(item->data(0, kPathRole));
            QListWidgetItem* entry = nullptr;
            for (int i = 0; i < exclusionList->count() && !entry; ++i)
                if (platform::CompareTextIgnoreCase(
                        BytesOf(exclusionList->item(i)->data(kPathRole)), path) == 0)
                    entry = exclusionList->item(i);
            if (entry)
                entry->setCheckState(tag ? Qt::Checked : Qt::Unchecked);
            else
                AddExclusion(path, tag != 0);
        }
    }
    Recompute();
}

void RankingWindow::onInclude() {
    QListWidgetItem* item = exclusionList->currentItem();
    if (!item || !item->isSelected()) return;
    {
        const QSignalBlocker block(exclusionList);
        delete item;
    }
    Recompute();
}

void RankingWindow::HeaderClicked(int section) {
    if (section < 1 || section > kRankKeys) return;
    if (sortCombo->currentIndex() == section - 1)
        Recompute();
    else
        sortCombo->setCurrentIndex(section - 1); // recomputes
}

void RankingWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
        return;
    }
    // The list passes Enter on; it means the row, not the dialog's button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        focusWidget() == reportList) {
        event->accept();
        ShowSelectedFolder();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RankingWindow::ShowSelectedFolder() {
    QTreeWidgetItem* item = reportList->currentItem();
    if (!item || !item->isSelected() || !OnShowFolder) return;
    const std::string path = BytesOf(item->data(0, kPathRole));
    if (path.empty()) return;
    close();
    OnShowFolder(path);
}

void RankingWindow::done(int result) {
    refreshTimer->stop();
    SaveSettings();
    working_.Clear();
    reportList->clear();
    QDialog::done(result);
}

void RankingWindow::SaveSettings() {
    if (!letter_) return;
    RankSettings s;
    QList<QAbstractButton*> buttons;
    for (QToolButton* b : ColumnButtons())
        buttons << b;
    s.Columns = ButtonsState(buttons).toStdString();
    s.NameWidth = ChosenWidth(reportList, 0);
    s.SortIndex = sortCombo->currentIndex();
    s.CountIndex = countCombo->currentIndex();
    s.Filters = CheckListState(attributeList).toStdString();
    s.Exclusions = Options().Exclusions;
    if (!SaveRankSettings(s, RankFileName(letter_))) TellSaveFailed(RankFileName(letter_));
}

} // namespace nrvs
