// The ranking window: the current drive's folders ranked by one of nine
// measures, with the visible columns, the row count, the attribute filters and
// the excluded folders kept per drive in its ranking file.
#pragma once

#include "core/views/Rank.h"

#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace nrvs {

class RunningDialog;

class RankingWindow : public QDialog {
    Q_OBJECT
  public:
    // running: the dialog the sorting runs in.
    RankingWindow(QWidget* parent, RunningDialog* running);

    QWidget* topPanel;
    QToolButton *folderSizeButton, *folderOccupiedButton, *clusterGapButton, *fileSizeButton,
        *fileOccupiedButton, *fileCountButton, *allFileCountButton, *folderCountButton,
        *allFolderCountButton;
    QComboBox* sortCombo;
    QComboBox* countCombo;
    QTreeWidget* reportList;
    QWidget* middlePanel;
    QLabel* exclusionsLabel;
    QPushButton *excludeButton, *excludeWithSubfoldersButton, *includeButton;
    QWidget* bottomPanel;
    QListWidget* attributeList;
    QListWidget* exclusionList;
    QTimer* refreshTimer;

    // The nine column buttons in column order.
    std::array<QToolButton*, kRankKeys> ColumnButtons() const;
    // The working list of the last computation.
    const RankList& Working() const { return working_; }
    // How many computations have filled the list since the window was created.
    int Computations() const { return computations_; }

    void Recompute();
    void ApplyColumnWidths();
    // tag 0: the folders alone; 1: with their subfolders.
    void ExcludeSelected(int tag);
    void onInclude();
    // Double click or Enter on a row: the ranking closes and the main window
    // shows the row's folder (through this, set by the main window).
    std::function<void(const std::string& path)> OnShowFolder;
    void ShowSelectedFolder();

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

  private:
    void LoadSettings();
    void SaveSettings();
    void FillList();
    void AddExclusion(const std::string& path, bool withSubfolders);
    RankOptions Options() const;
    void HeaderClicked(int section);

    RunningDialog* running_;
    RankList working_;
    char letter_ = 0;
    int computations_ = 0;
    bool computing_ = false;
    bool again_ = false;
};

} // namespace nrvs
