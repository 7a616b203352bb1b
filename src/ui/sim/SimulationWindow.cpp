#include "ui/sim/SimulationWindow.h"
#include "ui/WindowLayout.h"

#include "core/GlobalState.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "lib/SizeText.h"
#include "ui/ControlStates.h"
#include "ui/main/Images.h"
#include "ui/main/MainWindow.h"
#include "ui/running/RunningDialog.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace nrvs {

namespace {

constexpr int kImageTyped = 42;

// Value cells: "?" as it is, a number as a size in the display unit, right
// aligned 4 pixels inside the cell, 2 pixels below its top.
class ValueDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const bool selected = o.state & QStyle::State_Selected;
        p->fillRect(o.rect, selected ? o.palette.highlight() : o.palette.base());
        const bool hasIcon = index.sibling(index.row(), 0).data(Qt::UserRole).toInt() >= 0;
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!hasIcon || o.rect.width() <= 0 || text.isEmpty()) return;
        QString shown = text;
        if (text != QStringLiteral("?"))
            shown = QString::fromStdString(
                FormatSizeText(TextToFloat(text.toStdString(), 0), Global().SizeUnit));
        p->setPen(selected ? o.palette.highlightedText().color() : o.palette.text().color());
        QRect r = o.rect.adjusted(0, 2, -4, 0);
        p->drawText(r, Qt::AlignRight | Qt::AlignTop, shown);
    }
};

} // namespace

SimulationWindow::SimulationWindow(MainWindow* main) : QDialog(main), main_(main) {
    setObjectName("SimulationWindow");
    setWindowTitle(QStringLiteral(" シミュレーション"));
    // Only a close box among the border icons; openbox grants that to a
    // toolbar-type window only (as for the running dialog).
    KeepOnlyCloseBox(this);
    setFixedSize(430, 500);
    auto* l1 = new QLabel(QStringLiteral("計測先ドライブ(&D)"), this);
    l1->setGeometry(8, 10, 120, 20);
    driveCombo = new QComboBox(this);
    driveCombo->setObjectName("driveCombo");
    driveCombo->setGeometry(130, 8, 200, 24);
    driveCombo->setMaxVisibleItems(8);
    driveCombo->setIconSize(QSize(16, 16));
    l1->setBuddy(driveCombo);
    auto* l2 = new QLabel(QStringLiteral("クラスタサイズ(&S)"), this);
    l2->setGeometry(8, 40, 120, 20);
    clusterSizeEdit = new QLineEdit(this);
    clusterSizeEdit->setObjectName("clusterSizeEdit");
    clusterSizeEdit->setGeometry(130, 38, 200, 24);
    l2->setBuddy(clusterSizeEdit);
    runButton = new QPushButton(QStringLiteral("実行(&G)"), this);
    runButton->setObjectName("runButton");
    runButton->setGeometry(345, 8, 77, 54);
    reportList = new QTreeWidget(this);
    reportList->setObjectName("reportList");
    reportList->setGeometry(8, 70, 414, 422);
    reportList->setColumnCount(3);
    reportList->setHeaderLabels({QStringLiteral("フォルダ／ファイル"), QStringLiteral("占有量：元"),
                                 QStringLiteral("占有量：先")});
    reportList->setRootIsDecorated(false);
    reportList->setIconSize(QSize(16, 16));
    reportList->setSelectionBehavior(QAbstractItemView::SelectRows);
    reportList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    reportList->header()->setSectionsClickable(false);
    reportList->header()->setStretchLastSection(false);
    reportList->header()->setSectionResizeMode(QHeaderView::Fixed);
    reportList->setColumnWidth(0, 200);
    reportList->setColumnWidth(1, 100);
    reportList->setColumnWidth(2, 100);
    auto* values = new ValueDelegate(reportList);
    reportList->setItemDelegateForColumn(1, values);
    reportList->setItemDelegateForColumn(2, values);
    connect(driveCombo, &QComboBox::currentIndexChanged, this, [this] { onDriveChange(); });
    connect(clusterSizeEdit, &QLineEdit::textChanged, this, [this] { onClusterSizeChange(); });
    connect(runButton, &QPushButton::clicked, this, &SimulationWindow::onRun);
}

void SimulationWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOn(this, main_);
}

void SimulationWindow::Prepare() {
    GlobalState& g = Global();
    preparing_ = true;
    driveCombo->clear();
    driveCombo->addItem(ImageIcon(kImageTyped), QStringLiteral("クラスタサイズ指定"));
    for (int i = 0; i < g.Drives.ListedCount(); ++i) {
        const DriveRecord* r = g.Drives.ListedAt(i);
        if (!r) continue;
        driveCombo->addItem(
            ImageIcon(static_cast<int>(r->Category)),
            QString::fromStdString(r->RootPath.substr(0, 2) + "　" + r->VolumeName));
    }
    const DriveRecord empty;
    rows_ = BuildSimRows(main_ ? main_->Rows() : RowList{},
                         g.CurrentDrive ? *g.CurrentDrive : empty, g.ShowFiles != 0);
    ShowRows();
    clusterSizeEdit->clear();
    preparing_ = false;
    const int index = g.SimCluster > 0 && g.SimCluster < driveCombo->count() ? g.SimCluster : 0;
    driveCombo->setCurrentIndex(index);
    onDriveChange();
    if (g.SimCluster <= 0)
        clusterSizeEdit->setText(QString::number(-static_cast<long long>(g.SimCluster)));
}

void SimulationWindow::ShowRows() {
    reportList->clear();
    for (const auto& r : rows_) {
        auto* item = new QTreeWidgetItem(reportList);
        item->setText(0, QString::fromStdString(r.Caption));
        item->setData(0, Qt::UserRole, r.Image);
        if (r.Image >= 0) item->setIcon(0, ImageIcon(r.Image));
        item->setText(1, QString::fromStdString(r.Before));
        item->setText(2, QString::fromStdString(r.After));
        // Spacer rows cannot be selected.
        if (r.Image < 0) item->setFlags(Qt::ItemIsEnabled);
    }
}

void SimulationWindow::ShowResults() {
    for (int i = 0; i < reportList->topLevelItemCount() && i < static_cast<int>(rows_.size()); ++i)
        reportList->topLevelItem(i)->setText(
            2, QString::fromStdString(rows_[static_cast<size_t>(i)].After));
}

void SimulationWindow::onDriveChange() {
    if (preparing_) return;
    const bool typed = driveCombo->currentIndex() == 0;
    EnableWithCue(clusterSizeEdit, typed);
    if (typed) clusterSizeEdit->setFocus();
    MarkUnknown(rows_);
    ShowResults();
    clusterSizeEdit->clear();
}

void SimulationWindow::onClusterSizeChange() {
    if (preparing_) return;
    MarkUnknown(rows_);
    ShowResults();
}

void SimulationWindow::onRun() {
    GlobalState& g = Global();
    double targetFree = -1;
    const int index = driveCombo->currentIndex();
    if (index >= 1) {
        const DriveRecord* listed = g.Drives.ListedAt(index - 1);
        DriveRecord copy = listed ? *listed : DriveRecord{};
        if (!listed || !g.Drives.ReadVolume(copy)) {
            ShowMessageBox("ドライブの情報が取得できません。", MB_ICONSTOP);
            return;
        }
        clusterSizeEdit->setText(QString::number(copy.ClusterSize));
        targetFree = copy.FreeBytes;
    }
    uint32_t cluster = 1;
    std::string why;
    if (!ParseClusterSize(clusterSizeEdit->text().toStdString(), cluster, why)) {
        ShowMessageBox(why, MB_ICONSTOP);
        clusterSizeEdit->setFocus();
        return;
    }
    g.SimCluster = index >= 1 ? index : -static_cast<int>(cluster);
    MarkUnknown(rows_);
    ShowResults();
    const bool showFiles = g.ShowFiles != 0;
    if (main_) {
        RunningHooks hooks(*main_->Running);
        hooks.RunJob(" 計測中...",
                     [&] { RunSimulation(rows_, cluster, targetFree, showFiles, hooks); });
    } else {
        MeasureHooks hooks;
        RunSimulation(rows_, cluster, targetFree, showFiles, hooks);
    }
    ShowResults();
    reportList->viewport()->update();
    reportList->setFocus();
}

} // namespace nrvs
