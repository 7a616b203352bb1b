#include "ui/info/Utmdrv.h"

#include "core/Utglobal.h"
#include "ui/main/Uiimages.h"
#include "ui/main/Utmainpriv.h"

#include <QHeaderView>
#include <QTimer>
#include <QTreeWidget>

namespace nrvs {

namespace {
constexpr int kWidth = 194;
constexpr int kRowHeight = 17;
constexpr int kHeaderHeight = 22;
} // namespace

TFMmdrv::TFMmdrv(QWidget* main) : MonitorWindow(main, QStringLiteral(" DriveMonitor"), "mdv") {
    setObjectName("TFMmdrv");
    // Disabled, so that the list can be neither focused, selected nor
    // scrolled: the window is only looked at.
    PLpanel = new QWidget(this);
    PLpanel->setObjectName("PLpanel");
    PLpanel->setEnabled(false);
    LVlist = new QTreeWidget(PLpanel);
    LVlist->setObjectName("LVlist");
    LVlist->setFont(mainwindow::ListFont());
    LVlist->setFrameShape(QFrame::NoFrame);
    LVlist->setColumnCount(4);
    LVlist->setHeaderLabels({"Drive", "Total", "Free", "%"});
    LVlist->setRootIsDecorated(false);
    LVlist->setUniformRowHeights(true);
    LVlist->setIconSize(QSize(16, 16));
    LVlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LVlist->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LVlist->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* h = LVlist->header();
    h->setSectionsClickable(false);
    h->setSectionsMovable(false);
    h->setStretchLastSection(false);
    h->setSectionResizeMode(QHeaderView::Fixed);
    h->setFixedHeight(kHeaderHeight);
    LVlist->setColumnWidth(0, 40);
    LVlist->setColumnWidth(1, 55);
    LVlist->setColumnWidth(2, 55);
    LVlist->setColumnWidth(3, 40);
    for (int c = 1; c < 4; ++c) LVlist->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    setFixedSize(kWidth, MonitorClientHeight(0));
}

void TFMmdrv::Rebuild() {
    LVlist->clear();
    GlobalState& g = Global();
    for (int letter : FixedDiskLetters(g.Drives)) {
        const DriveRecord* r = g.Drives.ByLetter(letter);
        auto* item = new QTreeWidgetItem(LVlist);
        item->setText(0, QStringLiteral(" ") + QChar('A' + letter));
        item->setIcon(0, ImageIcon(static_cast<int>(r->Category)));
        item->setSizeHint(0, QSize(40, kRowHeight));
        for (int c = 1; c < 4; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    const int height = MonitorClientHeight(LVlist->topLevelItemCount());
    setFixedSize(kWidth, height);
    PLpanel->setGeometry(0, 0, kWidth, height);
    LVlist->setGeometry(0, 0, kWidth, height);
}

QPoint TFMmdrv::DefaultPlace(const QRect& mainFrame, const QSize& frame) const {
    return {mainFrame.x() + mainFrame.width() - frame.width(), mainFrame.y()};
}

void TFMmdrv::TMtimerTimer() { Refresh(); }

void TFMmdrv::Refresh() {
    TMtimer->stop();
    GlobalState& g = Global();
    for (int i = 0; i < LVlist->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = LVlist->topLevelItem(i);
        const std::string root = item->text(0).trimmed().toStdString() + ":\\";
        const MonitorCells cells = ReadMonitorCells(g.Drives, root);
        item->setText(1, QString::fromStdString(cells.Total));
        item->setText(2, QString::fromStdString(cells.Free));
        item->setText(3, QString::fromStdString(cells.Percent));
    }
    RestartTimer();
}

} // namespace nrvs
