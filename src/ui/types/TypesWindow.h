// The file types window: the files of the folder shown (or of the whole
// drive) from the drive's file index, one row per extension or per kind,
// with their counts, sizes and share of the occupied size. A row chosen
// lights its files in the treemap; a double click lists them in the
// largest-files window.
#pragma once

#include "core/index/FileIndex.h"
#include "core/index/FileKinds.h"

#include <QDialog>
#include <QIcon>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace nrvs {

class MainWindow;
struct TreemapHighlight;

class TypesWindow : public QDialog {
    Q_OBJECT
public:
    explicit TypesWindow(MainWindow* main);
    ~TypesWindow() override;

    // Shows the window for the folder the main window shows.
    void OpenTypes();
    // Reads the index again when a measurement has replaced it, and fills
    // the list anew.
    void Refresh();
    // What the rows count below: a folder, or empty for the whole drive.
    const std::string& Below() const { return below_; }
    bool ByKind() const;
    // The occupied size of all rows, the whole of the 割合 column.
    uint64_t OccupiedTotal() const { return total_; }
    // The treemap's highlight for a row.
    TreemapHighlight HighlightOf(const QTreeWidgetItem* item) const;
    // Double click: the row's files in the largest-files window.
    void OpenInFiles(const QTreeWidgetItem* item);

    QComboBox* groupCombo;
    QCheckBox* wholeDriveCheck;
    QPushButton* refreshButton;
    QLabel* stateLabel;
    QTreeWidget* reportList;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadSettings();
    void SaveSettings();
    // True when an index for the current drive's cache is open.
    bool EnsureIndex();
    void Fill();
    void ShowState(const QString& text);
    void SelectionChanged();
    void ClearHighlight();

    MainWindow* main_;
    bool loaded_ = false;
    std::shared_ptr<FileIndex> index_;
    std::string below_;
    uint64_t total_ = 0;
};

// The toolbar's picture of the command: bars of several colours.
QIcon TypesIcon();

} // namespace nrvs
