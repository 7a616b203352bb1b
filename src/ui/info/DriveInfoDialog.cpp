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

TFMdinfo::TFMdinfo(QWidget* main) : QDialog(main), main_(main) {
    setObjectName("TFMdinfo");
    setWindowTitle(QStringLiteral(" ドライブ情報"));
    // Only a close box among the border icons; openbox grants that to a
    // toolbar-type window only.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    winId();
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    setFixedSize(404, 362);
    LVinfo = new QTableWidget(kRows, 2, this);
    LVinfo->setObjectName("LVinfo");
    LVinfo->setGeometry(0, 0, 404, 362);
    LVinfo->setHorizontalHeaderLabels({QStringLiteral("項目"), QStringLiteral("情報")});
    LVinfo->verticalHeader()->hide();
    // Twenty rows of 17 pixels under the headings fill the window exactly.
    LVinfo->setFont(mainwindow::ListFont());
    LVinfo->verticalHeader()->setMinimumSectionSize(17);
    LVinfo->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    LVinfo->verticalHeader()->setDefaultSectionSize(17);
    LVinfo->horizontalHeader()->setFixedHeight(20);
    LVinfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LVinfo->horizontalHeader()->setSectionsClickable(false);
    LVinfo->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    LVinfo->horizontalHeader()->setStretchLastSection(false);
    LVinfo->setColumnWidth(0, 200);
    LVinfo->setColumnWidth(1, 200);
    LVinfo->setShowGrid(true);
    LVinfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LVinfo->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVinfo->setSelectionMode(QAbstractItemView::SingleSelection);
    LVinfo->setIconSize(QSize(16, 16));
    LVinfo->setWordWrap(false);
    const auto rows = DriveInfoRows(DriveRecord{});
    int captionWidth = 200;
    for (int i = 0; i < kRows; ++i) {
        auto* caption = new QTableWidgetItem(ImageIcon(kImageInfo), QString::fromStdString(rows[static_cast<size_t>(i)].Caption));
        LVinfo->setItem(i, 0, caption);
        LVinfo->setItem(i, 1, new QTableWidgetItem);
        captionWidth = std::max(captionWidth, LVinfo->fontMetrics().horizontalAdvance(caption->text()) + 16 + 4 + 8);
    }
    // The caption column as wide as its longest caption in the font in use;
    // the window grows with it.
    LVinfo->setColumnWidth(0, captionWidth);
    setFixedSize(captionWidth + 204, 362);
    LVinfo->setGeometry(0, 0, width(), 362);
}

void TFMdinfo::Fill() {
    const DriveRecord* cur = Global().CurrentDrive;
    const auto rows = DriveInfoRows(cur ? *cur : DriveRecord{});
    for (int i = 0; i < kRows; ++i)
        LVinfo->item(i, 1)->setText(QString::fromStdString(rows[static_cast<size_t>(i)].Value));
}

void TFMdinfo::showEvent(QShowEvent* event) {
    Fill();
    QDialog::showEvent(event);
    CentreOn(this, main_);
}


} // namespace nrvs
