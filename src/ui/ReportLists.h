// The report lists of the tool windows (largest files, file types): one
// row a line, whole rows selected, nothing edited, the columns fixed in
// their order.
#pragma once

#include <QAbstractItemView>
#include <QStringList>

class QDialog;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

namespace nrvs {

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headings,
                            QAbstractItemView::SelectionMode selection);

// A tool window of reports: its name, caption, frame, grip and first size,
// and the column layout its controls go into.
QVBoxLayout* SetUpReportWindow(QDialog* window, const char* name, const QString& caption, int width,
                               int height);

} // namespace nrvs
