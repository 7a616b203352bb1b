#include "ui/info/DriveInfoDialog.h"
#include "ui/WindowLayout.h"

#include "core/drives/DriveInfo.h"
#include "core/GlobalState.h"
#include "ui/main/Images.h"
#include "ui/main/MainWindowParts.h"

#include <algorithm>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableWidget>

namespace nrvs {

namespace {
constexpr int kImageInfo = 41;
constexpr int kRows = 20;
} // namespace

DriveInfoDialog::DriveInfoDialog(QWidget* main) : QDialog(main), main_(main) {
    setObjectName("DriveInfoDialog");
    setWindowTitle(QStringLiteral(" ドライブ情報"));
    // Only a close box among the border icons; openbox grants that to a
    // toolbar-type window only.
    KeepOnlyCloseBox(this);
    setFixedSize(404, 362);
    infoTable = new QTableWidget(kRows, 2, this);
    infoTable->setObjectName("infoTable");
    infoTable->setGeometry(0, 0, 404, 362);
    infoTable->setHorizontalHeaderLabels({QStringLiteral("項目"), QStringLiteral("情報")});
    infoTable->verticalHeader()->hide();
    // Twenty rows of 17 pixels under the headings fill the window exactly.
    infoTable->setFont(mainwindow::ListFont());
    infoTable->verticalHeader()->setMinimumSectionSize(17);
    infoTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    infoTable->verticalHeader()->setDefaultSectionSize(17);
    infoTable->horizontalHeader()->setFixedHeight(20);
    infoTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    infoTable->horizontalHeader()->setSectionsClickable(false);
    infoTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    infoTable->horizontalHeader()->setStretchLastSection(false);
    infoTable->setShowGrid(true);
    infoTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    infoTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    infoTable->setSelectionMode(QAbstractItemView::SingleSelection);
    infoTable->setIconSize(QSize(16, 16));
    infoTable->setWordWrap(false);
    const auto rows = DriveInfoRows(DriveRecord{});
    for (int i = 0; i < kRows; ++i) {
        infoTable->setItem(
            i, 0,
            new QTableWidgetItem(ImageIcon(kImageInfo),
                                 QString::fromStdString(rows[static_cast<size_t>(i)].Caption)));
        infoTable->setItem(i, 1, new QTableWidgetItem);
    }
    FitColumns();
}

void DriveInfoDialog::FitColumns() {
    // The room a cell needs as the table draws it in the font in use: its
    // text and icon with their margins, and the grid line; at least 200
    // pixels a column. The window grows with the columns.
    int widths[2] = {200, 200};
    const int grid = infoTable->showGrid() ? 1 : 0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < kRows; ++i)
            widths[c] = std::max(
                widths[c],
                infoTable->sizeHintForIndex(infoTable->model()->index(i, c)).width() + grid);
    infoTable->setColumnWidth(0, widths[0]);
    infoTable->setColumnWidth(1, widths[1]);
    const int width = widths[0] + widths[1] + 2 * infoTable->frameWidth();
    setFixedSize(width, 362);
    infoTable->setGeometry(0, 0, width, 362);
}

void DriveInfoDialog::Fill() {
    const DriveRecord* cur = Global().CurrentDrive;
    const auto rows = DriveInfoRows(cur ? *cur : DriveRecord{});
    for (int i = 0; i < kRows; ++i)
        infoTable->item(i, 1)->setText(QString::fromStdString(rows[static_cast<size_t>(i)].Value));
    FitColumns();
}

void DriveInfoDialog::showEvent(QShowEvent* event) {
    Fill();
    QDialog::showEvent(event);
    CentreOn(this, main_);
}

} // namespace nrvs
