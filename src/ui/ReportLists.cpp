#include "ui/ReportLists.h"

#include <QDialog>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace nrvs {

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headings,
                            QAbstractItemView::SelectionMode selection) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName("reportList");
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

QVBoxLayout* SetUpReportWindow(QDialog* window, const char* name, const QString& caption, int width,
                               int height) {
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(caption);
    window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setSizeGripEnabled(true);
    window->resize(width, height);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    return layout;
}

} // namespace nrvs
