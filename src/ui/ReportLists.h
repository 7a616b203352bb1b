// The report lists of the tool windows (largest files, file types): one
// row a line, whole rows selected, nothing edited, the columns fixed in
// their order.
#pragma once

#include <QAbstractItemView>
#include <QStringList>

class QDialog;
class QTreeView;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

namespace nrvs {

QTreeWidget* MakeReportList(QWidget* parent, const QStringList& headings,
                            QAbstractItemView::SelectionMode selection);

// Gives a list's path column the width its other columns leave, never less
// than `least` pixels, whenever the list or another column changes width.
void GiveSpareWidthTo(QTreeView* list, int column, int least);
// A column's width as the settings keep it: for the path column of
// GiveSpareWidthTo the width last given to it by hand or by resizeSection
// (as read from the settings), not the spare width it has, so that the
// file does not follow the window's size.
int ChosenWidth(const QTreeView* list, int column);

// A tool window of reports: its name, caption, frame, grip and first size,
// and the column layout its controls go into.
QVBoxLayout* SetUpReportWindow(QDialog* window, const char* name, const QString& caption, int width,
                               int height);

} // namespace nrvs
