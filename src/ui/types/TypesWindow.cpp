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
#include "ui/main/ListCellDelegate.h"
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
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace nrvs {

namespace {

enum Column { C_EXT = 0, C_KIND, C_FILES, C_SIZE, C_OCCUPIED, C_SHARE };
constexpr int kExtRole = Qt::UserRole;        // the extension's bytes, lower case
constexpr int kKindRole = Qt::UserRole + 1;   // the FileKind
constexpr int kValueRole = Qt::UserRole + 2;  // the number a count or size column sorts by
constexpr int kOrderRole = Qt::UserRole + 3;  // the row's place as the statistics gave it

QString Q(const std::string& bytes) { return ShownText(bytes); }

// Numbers sort as numbers, texts as the desktop sorts them; every tie keeps
// the statistics' order (largest first), whichever way the column runs.
class TypeItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : C_OCCUPIED;
        if (column >= C_FILES) {
            const qulonglong a = data(column, kValueRole).toULongLong(), b = other.data(column, kValueRole).toULongLong();
            if (a != b) return a < b;
        } else {
            const int c = text(column).compare(other.text(column), Qt::CaseInsensitive);
            if (c != 0) return c < 0;
        }
        return data(C_EXT, kOrderRole).toInt() > other.data(C_EXT, kOrderRole).toInt();
    }
};

// The share column: a bar and the percentage, drawn as the main list draws
// its graph column.
class ShareDelegate : public QStyledItemDelegate {
public:
    ShareDelegate(const TypesWindow* owner, QObject* parent) : QStyledItemDelegate(parent), owner_(owner) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (index.column() != C_SHARE) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                                   : QPalette::Inactive;
        const bool selected = option.state & QStyle::State_Selected;
        const QRect& r = option.rect;
        painter->fillRect(r, option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base));
        const QFontMetrics fm(option.font);
        const double value = index.data(kValueRole).toDouble();
        const CellLayout cell = LayoutCell(kColGraph, QString::number(value, 'f', 0), IMG_FILE, r.x(), r.y(),
                                           r.x() + r.width(), r.y() + r.height(), FontPoints(option.font), fm,
                                           Global().SizeUnit, static_cast<double>(owner_->OccupiedTotal()));
        painter->save();
        painter->setClipRect(r);
        painter->setRenderHint(QPainter::Antialiasing, false);
        if (cell.Bar) {
            const int x1 = cell.BarX, y1 = cell.BarY, x2 = cell.BarX + cell.BarW, y2 = cell.BarY + cell.BarH;
            if (cell.Fill && cell.FillRight > x1)
                painter->fillRect(QRect(x1, y1, cell.FillRight - x1, y2 - y1), cell.FillColour);
            painter->setPen(QPen(Qt::black, 0));
            painter->drawLine(x1, y1, x2, y1);
            painter->drawLine(x2, y1, x2, y2);
            painter->drawLine(x2, y2, x1, y2);
            painter->drawLine(x1, y2, x1, y1);
            painter->setPen(QPen(QColor(192, 192, 192), 0));
            painter->drawLine(x2 + 1, y1 + 1, x2 + 1, y2 + 1);
            painter->drawLine(x2 + 1, y2 + 1, x1 + 1, y2 + 1);
        }
        painter->setFont(option.font);
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        for (const CellText& t : cell.Texts) painter->drawText(QPoint(t.X, cell.TextY + fm.ascent()), t.Text);
        painter->restore();
    }

private:
    const TypesWindow* owner_;
};

// The text of the 割合 column as the bar's cell shows it.
QString ShareText(uint64_t occupied, uint64_t total) {
    const double base = total > 0 ? static_cast<double>(total) : 1.0;
    return QString::number(static_cast<double>(occupied) / base * 100.0, 'f', 1) + QStringLiteral(" %");
}

} // namespace

TypesWindow::TypesWindow(MainWindow* main) : QDialog(main), main_(main) {
    QVBoxLayout* layout = SetUpReportWindow(this, "TypesWindow", QStringLiteral(" ファイルの種類"), 640, 460);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    groupCombo = new QComboBox(this);
    groupCombo->setObjectName("groupCombo");
    groupCombo->addItems({QStringLiteral("拡張子ごと"), QStringLiteral("種類ごと")});
    wholeDriveCheck = new QCheckBox(QStringLiteral("ドライブ全体"), this);
    wholeDriveCheck->setObjectName("wholeDriveCheck");
    refreshButton = new QPushButton(QStringLiteral("更新"), this);
    refreshButton->setObjectName("refreshButton");
    refreshButton->setAutoDefault(false);
    refreshButton->setToolTip(QStringLiteral("最新の計測結果で一覧を作り直します (F5)"));
    top->addWidget(groupCombo);
    top->addWidget(wholeDriveCheck);
    top->addStretch(1);
    top->addWidget(refreshButton);
    layout->addLayout(top);

    stateLabel = new QLabel(this);
    stateLabel->setObjectName("stateLabel");
    stateLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(stateLabel);

    reportList = MakeReportList(this,
                            {QStringLiteral("拡張子"), QStringLiteral("種類"), QStringLiteral("ファイル数"),
                             QStringLiteral("容量"), QStringLiteral("占有量"), QStringLiteral("割合")},
                            QAbstractItemView::SingleSelection);
    reportList->header()->setStretchLastSection(true);
    reportList->setItemDelegate(new ShareDelegate(this, reportList));
    reportList->setSortingEnabled(true);
    reportList->sortByColumn(C_OCCUPIED, Qt::DescendingOrder);
    reportList->installEventFilter(this);
    layout->addWidget(reportList, 1);

    connect(groupCombo, &QComboBox::currentIndexChanged, this, [this] {
        if (isVisible()) Fill();
    });
    connect(wholeDriveCheck, &QCheckBox::toggled, this, [this] {
        if (isVisible()) Fill();
    });
    connect(refreshButton, &QPushButton::clicked, this, &TypesWindow::Refresh);
    connect(reportList, &QTreeWidget::itemSelectionChanged, this, &TypesWindow::SelectionChanged);
    connect(reportList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OpenInFiles(item); });
}

TypesWindow::~TypesWindow() = default;

bool TypesWindow::ByKind() const { return groupCombo->currentIndex() == 1; }

void TypesWindow::OpenTypes() {
    // The folder the main window shows when the window is asked for.
    below_.clear();
    const DriveRecord* drive = Global().CurrentDrive;
    if (main_ && drive && !main_->Rows().empty()) {
        const std::string shown = SplitRow(main_->Rows().front()).Caption;
        if (shown.size() > 3 && shown[0] == drive->RootPath[0] && shown.back() == '\\') below_ = shown;
    }
    if (!isVisible()) show();
    else Refresh();
    raise();
    activateWindow();
    reportList->setFocus();
}

void TypesWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (!loaded_) LoadSettings();
    Refresh();
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
    if (s.Left >= 0 || s.Top >= 0) setGeometry(s.Left, s.Top, s.Width, s.Height);
    else resize(s.Width, s.Height);
    for (int c = 0; c < kTypesColumns; ++c)
        reportList->header()->resizeSection(c, s.ColumnWidths[static_cast<size_t>(c)]);
    const QSignalBlocker b(groupCombo);
    groupCombo->setCurrentIndex(s.ByKind ? 1 : 0);
    reportList->sortByColumn(s.SortColumn, s.Ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TypesWindow::SaveSettings() {
    TypesSettings s;
    const QRect g = geometry();
    s.Left = g.left();
    s.Top = g.top();
    s.Width = g.width();
    s.Height = g.height();
    for (int c = 0; c < kTypesColumns; ++c)
        s.ColumnWidths[static_cast<size_t>(c)] = reportList->header()->sectionSize(c);
    s.ByKind = ByKind();
    s.SortColumn = reportList->header()->sortIndicatorSection();
    s.Ascending = reportList->header()->sortIndicatorOrder() == Qt::AscendingOrder;
    if (!SaveTypesSettings(s, TypesSettingsName())) TellSaveFailed(TypesSettingsName());
}

bool TypesWindow::EnsureIndex() {
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || !drive->Ready || drive->RootPath.empty()) {
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
    index_.reset();
    auto index = std::make_shared<FileIndex>();
    std::string why;
    if (header.empty()) {
        why = "このドライブは計測されていません。";
    } else if (index->Open(FileIndexName(*drive), letter, header, &why)) {
        index_ = std::move(index);
        return true;
    }
    ShowState(Q(why + "ドライブを計測し直してください。"));
    return false;
}

void TypesWindow::Refresh() {
    index_.reset();
    Fill();
}

void TypesWindow::ShowState(const QString& text) { stateLabel->setText(text); }

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
            ShowState(Q(below_ + " は計測されていません。フォルダを計測するか「ドライブ全体」を選んでください。"));
            reportList->setSortingEnabled(true);
            return;
        }
        below = below_;
    }
    const bool byKind = ByKind();
    const std::vector<TypeRow> rows = TypeStatistics(*index_, below, byKind);
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
        for (int c : {C_FILES, C_SIZE, C_OCCUPIED}) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    reportList->addTopLevelItems(items);
    reportList->setSortingEnabled(true);
    reportList->sortByColumn(column, order);
    const std::string scope = below.empty() ? std::string(1, index_->Letter()) + ":\\" : below;
    ShowState(Q(FormatText("%s のファイル %s 個、%zu 種類", scope.c_str(), GroupedNumber(static_cast<double>(files), 0).c_str(),
                           rows.size())));
}

TreemapHighlight TypesWindow::HighlightOf(const QTreeWidgetItem* item) const {
    TreemapHighlight h;
    if (!item) return h;
    h.On = true;
    h.Kind = item->data(C_EXT, kKindRole).toInt();
    if (ByKind()) h.AnyExtension = true;
    else h.Extension = item->data(C_EXT, kExtRole).toByteArray().toStdString();
    return h;
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
    if (main_ && main_->MapWindow && main_->MapWindow->Highlight().On) main_->MapWindow->SetHighlight(TreemapHighlight{});
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
        for (const std::string& e : found) extensions += (extensions.empty() ? "" : ", ") + e;
    }
    main_->Files->OpenLargestWithExtension(extensions, wholeDriveCheck->isChecked());
}

void TypesWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isVisible() || !isActiveWindow()) return;
    // Coming back after a measurement or another drive in the main window
    // shows what the main window shows now.
    const DriveRecord* drive = Global().CurrentDrive;
    if (!drive || drive->RootPath.empty()) return;
    if (!index_ || drive->RootPath[0] != index_->Letter() || CacheHeaderLine(*drive) != index_->CacheHeader()) Refresh();
}

void TypesWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        event->accept();
        Refresh();
        return;
    }
    QDialog::keyPressEvent(event);
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
    return QDialog::eventFilter(watched, event);
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
