// The cluster-size simulation window: the folder shown in the main window,
// its subfolders and files, with the occupied size measured and the one a
// chosen cluster size (typed in, or a drive's) would give.
#pragma once

#include "core/measure/Simulate.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace nrvs {

class MainWindow;

class SimulationWindow : public QDialog {
    Q_OBJECT
  public:
    explicit SimulationWindow(MainWindow* main);

    // Rebuilds the rows from the main list and restores the last target.
    void Prepare();
    void onRun();
    const std::vector<SimRow>& SimRows() const { return rows_; }

    QComboBox* driveCombo;
    QLineEdit* clusterSizeEdit;
    QPushButton* runButton;
    QTreeWidget* reportList;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void onDriveChange();
    void onClusterSizeChange();
    void ShowRows();
    void ShowResults();

    MainWindow* main_;
    std::vector<SimRow> rows_;
    bool preparing_ = false;
};

} // namespace nrvs
