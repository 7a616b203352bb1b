// The report lists of the tool windows (largest files, file types): one
// row a line, whole rows selected, nothing edited, the columns fixed in
// their order.
#pragma once

#include <QAbstractItemView>
#include <QStringList>

class QTreeWidget;
class QWidget;

namespace nrvs {

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headings, QAbstractItemView::SelectionMode selection);

} // namespace nrvs
