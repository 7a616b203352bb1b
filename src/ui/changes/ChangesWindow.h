// The changes window (変化): every folder whose figures changed between the
// drive's previous measurement and the current one, with before, after and
// the change, largest first; below it, from the two file indexes, the files
// of the chosen folder that appeared, vanished or changed size.
#pragma once

#include "core/history/Changes.h"
#include "core/index/FileIndex.h"
#include "ui/ReportWindow.h"

#include <QIcon>
#include <string>

class QComboBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace nrvs {

class MainWindow;

class ChangesWindow : public ReportWindow {
    Q_OBJECT
  public:
    explicit ChangesWindow(MainWindow* main);
    ~ChangesWindow() override;

    // Shows the window for the folder the main window shows.
    void OpenChanges();
    // Compares the measurements on disk again and fills the lists anew.
    void Refresh() override;
    // Double click: the row's folder in the main window.
    void ShowInMain(const QTreeWidgetItem* item);

    QComboBox *kindCombo, *keyCombo, *countCombo;
    QLabel* filesLabel;
    QTreeWidget* fileList;

  protected:
    // A measurement since the rows were made: they are of another pair.
    bool OutOfDate(const DriveRecord& drive) const override;

  private:
    void Fill();
    void FillFiles();

    std::string shownHeader_; // the current cache's header the rows are of
    FileIndex before_, after_;
};

// The toolbar's picture of the command: one bar up, one down.
QIcon ChangesIcon();

} // namespace nrvs
