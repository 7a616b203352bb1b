#include "ui/info/DriveMonitorWindow.h"

#include "core/GlobalState.h"
#include "ui/main/Images.h"
#include "ui/main/MainWindowParts.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

namespace nrvs {

namespace {
constexpr int kWidth = 194;

// Cells drawn as an enabled list draws them (the panel around the list is
// disabled); value cells right-aligned 2 pixels inside their narrow columns,
// so that a size such as 251.97GB fits the 55 pixels without being cut short.
class CellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        p->fillRect(o.rect, o.palette.brush(QPalette::Active, QPalette::Base));
        p->setPen(o.palette.color(QPalette::Active, QPalette::Text));
        if (index.column() == 0) {
            // The drive's icon as in the enabled list, then its letter.
            const QRect icon(o.rect.x() + 2, o.rect.y() + (o.rect.height() - 16) / 2, 16, 16);
            o.icon.paint(p, icon, Qt::AlignCenter, QIcon::Normal);
            p->drawText(o.rect.adjusted(22, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, o.text);
            return;
        }
        // Where the font is wider than the columns were made for, the
        // value is drawn smaller rather than cut.
        const QRect r = o.rect.adjusted(0, 0, -2, 0);
        QFont font = o.font;
        while (QFontMetrics(font).horizontalAdvance(o.text) > r.width() && font.pointSizeF() > 6)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        p->setFont(font);
        p->drawText(r, Qt::AlignRight | Qt::AlignVCenter, o.text);
    }
};
constexpr int kRowHeight = 17;
constexpr int kHeaderHeight = 22;
} // namespace

DriveMonitorWindow::DriveMonitorWindow(QWidget* main)
    : MonitorWindow(main, QStringLiteral(" DriveMonitor"), "mdv") {
    setObjectName("DriveMonitorWindow");
    // Disabled, so that the list can be neither focused, selected nor
    // scrolled: the window is only looked at.
    panel = new QWidget(this);
    panel->setObjectName("panel");
    panel->setEnabled(false);
    driveList = new QTreeWidget(panel);
    driveList->setObjectName("driveList");
    driveList->setFont(mainwindow::ListFont());
    driveList->setFrameShape(QFrame::NoFrame);
    driveList->setColumnCount(4);
    driveList->setHeaderLabels({"Drive", "Total", "Free", "%"});
    driveList->setRootIsDecorated(false);
    driveList->setUniformRowHeights(true);
    driveList->setIconSize(QSize(16, 16));
    driveList->setSelectionBehavior(QAbstractItemView::SelectRows);
    driveList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    driveList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    driveList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* h = driveList->header();
    h->setSectionsClickable(false);
    h->setSectionsMovable(false);
    h->setStretchLastSection(false);
    h->setSectionResizeMode(QHeaderView::Fixed);
    h->setFixedHeight(kHeaderHeight);
    driveList->setColumnWidth(0, 40);
    driveList->setColumnWidth(1, 55);
    driveList->setColumnWidth(2, 55);
    driveList->setColumnWidth(3, 40);
    for (int c = 1; c < 4; ++c)
        driveList->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    driveList->setItemDelegate(new CellDelegate(driveList));
    // The panel is disabled for input only: the list draws as an enabled one.
    QPalette palette = driveList->palette();
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Base,
                      QPalette::Window, QPalette::Button})
        palette.setBrush(QPalette::Disabled, role, palette.brush(QPalette::Active, role));
    driveList->setPalette(palette);
    setFixedSize(kWidth, MonitorClientHeight(0));
}

void DriveMonitorWindow::Rebuild() {
    driveList->clear();
    GlobalState& g = Global();
    const QFontMetrics fm(driveList->font());
    int captionWidth = fm.horizontalAdvance(QStringLiteral("Drive"));
    // One row per volume: letters on the same file system share its numbers.
    for (const auto& letters : FixedDiskVolumes(g.Drives)) {
        const DriveRecord* r = g.Drives.ByLetter(letters.front());
        auto* item = new QTreeWidgetItem(driveList);
        const QString caption = QString::fromStdString(VolumeCaption(letters));
        item->setText(0, caption);
        item->setData(0, Qt::UserRole, QChar('A' + letters.front()));
        item->setIcon(0, ImageIcon(static_cast<int>(r->Category)));
        item->setSizeHint(0, QSize(40, kRowHeight));
        for (int c = 1; c < 4; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        captionWidth = std::max(captionWidth, fm.horizontalAdvance(caption));
    }
    // Wide enough for the widest value at the list's font: a size such as
    // "999.99GB" and "100.00", with room between the columns.
    const int value = std::max(55, fm.horizontalAdvance(QStringLiteral("999.99GB")) + 8);
    const int percent = std::max(40, fm.horizontalAdvance(QStringLiteral("100.00")) + 8);
    const int first = std::max(40, captionWidth + 26);
    driveList->setColumnWidth(0, first);
    driveList->setColumnWidth(1, value);
    driveList->setColumnWidth(2, value);
    driveList->setColumnWidth(3, percent);
    const int width = std::max(kWidth, first + 2 * value + percent);
    const int height = MonitorClientHeight(driveList->topLevelItemCount());
    setFixedSize(width, height);
    panel->setGeometry(0, 0, width, height);
    driveList->setGeometry(0, 0, width, height);
}

void DriveMonitorWindow::onRefreshTimer() {
    Refresh();
}

void DriveMonitorWindow::Refresh() {
    refreshTimer->stop();
    GlobalState& g = Global();
    for (int i = 0; i < driveList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = driveList->topLevelItem(i);
        const std::string root = item->data(0, Qt::UserRole).toString().toStdString() + ":\\";
        const MonitorCells cells = ReadMonitorCells(g.Drives, root);
        item->setText(1, QString::fromStdString(cells.Total));
        item->setText(2, QString::fromStdString(cells.Free));
        item->setText(3, QString::fromStdString(cells.Percent));
    }
    RestartTimer();
}

} // namespace nrvs
