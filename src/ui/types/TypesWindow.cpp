#include "ui/types/TypesWindow.h"
#include "ui/Locale.h"

#include "ui/ReportLists.h"

#include "core/cache/Cache.h"
#include "core/views/Rows.h"
#include "core/treemap/Treemap.h"
#include "core/views/TypesView.h"
#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
#include "ui/files/FilesWindow.h"
#include "ui/main/MainWindow.h"
#include "ui/treemap/TreemapWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace nrvs {

namespace {

enum Column { C_EXT = 0, C_KIND, C_FILES, C_SIZE, C_OCCUPIED, C_SHARE };
constexpr int kExtRole = Qt::UserRole;       // the extension's bytes, lower case
constexpr int kKindRole = Qt::UserRole + 1;  // the FileKind
constexpr int kValueRole = Qt::UserRole + 2; // the number a count or size column sorts by
constexpr int kOrderRole = Qt::UserRole + 3; // the row's place as the statistics gave it

QString Q(const std::string& bytes) {
    return ShownText(bytes);
}

// Numbers sort as numbers, texts as the desktop sorts them; every tie keeps
// the statistics' order (largest first), whichever way the column runs.
class TypeItem : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : C_OCCUPIED;
        if (column >= C_FILES) {
            const qulonglong a = data(column, kValueRole).toULongLong(),
                             b = other.data(column, kValueRole).toULongLong();
            if (a != b) return a < b;
        } else {
            const int c = text(column).compare(other.text(column), Qt::CaseInsensitive);
            if (c != 0) return c < 0;
        }
        return data(C_EXT, kOrderRole).toInt() > other.data(C_EXT, kOrderRole).toInt();
    }
};

// The text of the 割合 column as the bar's cell shows it.
QString ShareText(uint64_t occupied, uint64_t total) {
    const double base = total > 0 ? static_cast<double>(total) : 1.0;
    return QString::number(static_cast<double>(occupied) / base * 100.0, 'f', 1) +
           QStringLiteral(" %");
}

} // namespace

TypesWindow::TypesWindow(MainWindow* main)
    : ReportWindow(main, "TypesWindow", QStringLiteral(" ファイルの種類"), 640, 460) {
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    groupCombo = new QComboBox(this);
    groupCombo->setObjectName("groupCombo");
    groupCombo->addItems({QStringLiteral("拡張子ごと"), QStringLiteral("種類ごと")});
    MakeWholeDriveCheck();
    MakeRefreshButton(QStringLiteral("最新の計測結果で一覧を作り直します (F5)"));
    top->addWidget(groupCombo);
    top->addWidget(wholeDriveCheck);
    top->addStretch(1);
    top->addWidget(refreshButton);
    layout_->addLayout(top);
    AddStateLabel();

    reportList = MakeReportList(this,
                                {QStringLiteral("拡張子"), QStringLiteral("種類"),
                                 QStringLiteral("ファイル数"), QStringLiteral("容量"),
                                 QStringLiteral("占有量"), QStringLiteral("割合")},
                                QAbstractItemView::SingleSelection);
    reportList->header()->setStretchLastSection(true);
    DrawBarsIn(C_SHARE, kValueRole, [this] { return static_cast<double>(OccupiedTotal()); });
    reportList->setSortingEnabled(true);
    reportList->sortByColumn(C_OCCUPIED, Qt::DescendingOrder);
    reportList->installEventFilter(this);
    layout_->addWidget(reportList, 1);

    WatchFilters({groupCombo}, {wholeDriveCheck}, [this] {
        if (isVisible()) Fill();
    });
    connect(refreshButton, &QPushButton::clicked, this, &TypesWindow::Refresh);
    connect(reportList, &QTreeWidget::itemSelectionChanged, this, &TypesWindow::SelectionChanged);
    connect(reportList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenInFiles(item); });
}

TypesWindow::~TypesWindow() = default;

bool TypesWindow::ByKind() const {
    return groupCombo->currentIndex() == 1;
}

void TypesWindow::OpenTypes() {
    Present(reportList);
}

void TypesWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;
    // The treemap shows every file again once the rows that lit them are gone.
    ClearHighlight();
    SaveSettings();
}

void TypesWindow::LoadSettings() {
    loaded_ = true;
    const TypesSettings s = LoadTypesSettings(TypesSettingsName());
    if (!RestorePlace(s)) resize(s.Width, s.Height);
    RestoreColumns(s);
    const QSignalBlocker b(groupCombo);
    groupCombo->setCurrentIndex(s.ByKind ? 1 : 0);
    reportList->sortByColumn(s.SortColumn, s.Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TypesWindow::SaveSettings() {
    TypesSettings s;
    KeepPlace(s);
    s.ByKind = ByKind();
    s.SortColumn = reportList->header()->sortIndicatorSection();
    s.Ascending = reportList->header()->sortIndicatorOrder() == Qt::AscendingOrder;
    if (!SaveTypesSettings(s, TypesSettingsName())) TellSaveFailed(TypesSettingsName());
}

void TypesWindow::Refresh() {
    index_.reset();
    Fill();
}

void TypesWindow::Fill() {
    const int column = reportList->header()->sortIndicatorSection();
    const Qt::SortOrder order = reportList->header()->sortIndicatorOrder();
    reportList->setSortingEnabled(false);
    reportList->clear();
    // The rows that lit the treemap are gone, whether or not the view says so.
    ClearHighlight();
    total_ = 0;
    if (!EnsureIndex()) {
        reportList->setSortingEnabled(true);
        return;
    }
    std::string below;
    if (!wholeDriveCheck->isChecked() && !below_.empty() && below_[0] == index_->Letter()) {
        if (index_->FindFolder(below_) < 0) {
            ShowState(
                Q(below_ +
                  " は計測されていません。フォルダを計測するか「ドライブ全体」を選んでください。"));
            reportList->setSortingEnabled(true);
            return;
        }
        below = below_;
    }
    const bool byKind = ByKind();
    const std::vector<TypeRow> rows = TypeStatistics(*index_, below, byKind);
    if (!index_->Intact()) {
        index_.reset();
        reportList->setSortingEnabled(true);
        ShowState(Q(std::string(FileIndex::CutShortText()) + "ドライブを計測し直してください。"));
        return;
    }
    uint64_t files = 0;
    for (const TypeRow& r : rows) {
        total_ += r.Occupied;
        files += r.Files;
    }
    const int unit = Global().SizeUnit;
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const TypeRow& r = rows[i];
        auto* item = new TypeItem;
        item->setText(C_EXT, byKind ? QString() : Q(ExtensionCaption(r.Extension)));
        item->setData(C_EXT, kExtRole, QByteArray::fromStdString(r.Extension));
        item->setData(C_EXT, kKindRole, static_cast<int>(r.Kind));
        item->setData(C_EXT, kOrderRole, static_cast<int>(i));
        item->setText(C_KIND, QString::fromUtf8(KindCaption(r.Kind)));
        item->setText(C_FILES, Q(GroupedNumber(static_cast<double>(r.Files), 0)));
        item->setData(C_FILES, kValueRole, qulonglong(r.Files));
        item->setText(C_SIZE, Q(FormatSizeText(static_cast<double>(r.Size), unit)));
        item->setData(C_SIZE, kValueRole, qulonglong(r.Size));
        item->setText(C_OCCUPIED, Q(FormatSizeText(static_cast<double>(r.Occupied), unit)));
        item->setData(C_OCCUPIED, kValueRole, qulonglong(r.Occupied));
        item->setText(C_SHARE, ShareText(r.Occupied, total_));
        item->setData(C_SHARE, kValueRole, qulonglong(r.Occupied));
        for (int c : {C_FILES, C_SIZE, C_OCCUPIED})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    reportList->addTopLevelItems(items);
    reportList->setSortingEnabled(true);
    reportList->sortByColumn(column, order);
    const std::string scope = ScopeText(below, index_->Letter());
    ShowState(Q(FormatText("%s のファイル %s 個、%zu 種類", scope.c_str(),
                           GroupedNumber(static_cast<double>(files), 0).c_str(), rows.size())));
}

TreemapHighlight TypesWindow::HighlightOf(const QTreeWidgetItem* item) const {
    if (!item) return {};
    return TypeRowHighlight(item->data(C_EXT, kExtRole).toByteArray().toStdString(),
                            item->data(C_EXT, kKindRole).toInt(), ByKind());
}

void TypesWindow::SelectionChanged() {
    const QList<QTreeWidgetItem*> chosen = reportList->selectedItems();
    if (chosen.isEmpty()) {
        ClearHighlight();
        return;
    }
    if (main_ && main_->MapWindow) main_->MapWindow->SetHighlight(HighlightOf(chosen.front()));
}

void TypesWindow::ClearHighlight() {
    if (main_ && main_->MapWindow && main_->MapWindow->Highlight().On)
        main_->MapWindow->SetHighlight(TreemapHighlight{});
}

void TypesWindow::OpenInFiles(const QTreeWidgetItem* item) {
    if (!item || !main_ || !main_->Files) return;
    std::string extensions;
    if (!ByKind()) {
        // Files without an extension cannot be asked for by one: all are listed.
        extensions = item->data(C_EXT, kExtRole).toByteArray().toStdString();
    } else if (index_ && index_->IsOpen()) {
        // A kind: the extensions of that kind found here.
        const int kind = item->data(C_EXT, kKindRole).toInt();
        const std::string below =
            wholeDriveCheck->isChecked() || below_.empty() || below_[0] != index_->Letter()
                ? ""
                : below_;
        std::vector<std::string> found;
        for (const TypeRow& r : TypeStatistics(*index_, below, false))
            if (r.Kind == kind && !r.Extension.empty() &&
                std::find(found.begin(), found.end(), r.Extension) == found.end())
                found.push_back(r.Extension);
        for (const std::string& e : found)
            extensions += (extensions.empty() ? "" : ", ") + e;
    }
    main_->Files->OpenLargestWithExtension(extensions, wholeDriveCheck->isChecked());
}

bool TypesWindow::eventFilter(QObject* watched, QEvent* event) {
    // A tool window's shortcuts are its owner's: without this the main
    // window's F5 would read the main list again instead of these rows.
    if (watched == reportList && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        event->accept();
        return true;
    }
    if (watched == reportList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F5) {
        Refresh();
        return true;
    }
    return ReportWindow::eventFilter(watched, event);
}

QIcon TypesIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(QColor(0x4F, 0xB0, 0x50));
    p.drawRect(0, 1, 15, 3);
    p.setBrush(QColor(0xE8, 0x96, 0x2F));
    p.drawRect(0, 6, 10, 3);
    p.setBrush(QColor(0x9A, 0x5C, 0xC8));
    p.drawRect(0, 11, 6, 3);
    return QIcon(pm);
}

} // namespace nrvs
