#include "ui/Ulists.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace nrvs {

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headings, QAbstractItemView::SelectionMode selection) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName("LVlist");
    list->setColumnCount(static_cast<int>(headings.size()));
    list->setHeaderLabels(headings);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(selection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setSectionsMovable(false);
    return list;
}

} // namespace nrvs
